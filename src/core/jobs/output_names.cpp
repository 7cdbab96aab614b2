#include "core/jobs/output_names.h"

#include "core/io/path_names.h"
#include "core/io/posix_file.h"

namespace ciphra {

std::string OutputPathBeside(CipherDirection direction, const std::string& path)
{
    return direction == CipherDirection::Encrypt ? path + ".CPH" : ReplaceExtension(path, ".dec");
}

std::string SelfDecryptingProgramPath(const std::string& plainPath)
{
    return ReplaceExtension(plainPath, ".exe");
}

std::string RestoredPathOf(const std::string& programPath)
{
    return ReplaceExtension(programPath, ".dec");
}

std::string DefaultStubPath()
{
    return FolderOf(ResolvePath("/proc/self/exe")) + "/sfdstub.dtt";
}

} // namespace ciphra
