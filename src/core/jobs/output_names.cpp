#include "core/jobs/output_names.h"

#include "core/io/path_names.h"
#include "core/io/posix_file.h"

#include <string_view>

namespace ciphra {

std::string OutputPathBeside(CipherDirection direction, const std::string& path)
{
    return direction == CipherDirection::Encrypt ? path + ".CPH" : ReplaceExtension(path, ".dec");
}

std::string OutputPathBeside(CipherDirection direction, const std::string& path,
                             CipherFormat format)
{
    constexpr std::string_view AgeExtension = ".age";
    if (format == CipherFormat::Cph) {
        return OutputPathBeside(direction, path);
    }
    if (direction == CipherDirection::Encrypt) {
        return path + std::string(AgeExtension);
    }
    if (NameOf(path).size() > AgeExtension.size() && path.ends_with(AgeExtension)) {
        return path.substr(0, path.size() - AgeExtension.size());
    }
    return ReplaceExtension(path, ".dec");
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
