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

namespace {

constexpr const char* StubName = "sfdstub.dtt";

// The installed stub's folder relative to the installation's root, the
// folder above the programs' one; the build passes the one its install
// rules use.
#ifndef CIPHRA_INSTALLED_STUB_DIR
#define CIPHRA_INSTALLED_STUB_DIR "lib/ciphra2k"
#endif

bool IsFile(const std::string& path)
{
    return IdentityOf(path).has_value() && !IsDirectory(path);
}

} // namespace

std::string StubPathFor(const std::string& programFolder)
{
    std::string beside = programFolder + "/" + StubName;
    if (IsFile(beside)) {
        return beside;
    }
    std::string installed =
        FolderOf(programFolder) + "/" + CIPHRA_INSTALLED_STUB_DIR + "/" + StubName;
    if (IsFile(installed)) {
        return installed;
    }
    return beside;
}

std::string DefaultStubPath()
{
    return StubPathFor(FolderOf(ResolvePath("/proc/self/exe")));
}

} // namespace ciphra
