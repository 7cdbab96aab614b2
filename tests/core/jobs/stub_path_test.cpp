// Where the programs look for the stub: beside themselves in a build tree,
// under lib/ciphra2k of an installation, and which path a missing stub is
// reported under.

#include <filesystem>
#include <gtest/gtest.h>

#include "core/jobs/output_names.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

TEST(StubPathFor, PrefersTheStubBesideTheProgramThenTheInstalledOne)
{
    enum Made { Nothing, File, Folder };
    const struct {
        const char* Name;
        Made Beside;
        Made Installed;
        const char* Expected; // relative to the scratch root
    } cases[] = {
        {"build tree", File, Nothing, "bin/sfdstub.dtt"},
        {"installed", Nothing, File, "lib/ciphra2k/sfdstub.dtt"},
        {"both: the build's own wins", File, File, "bin/sfdstub.dtt"},
        {"neither: named beside", Nothing, Nothing, "bin/sfdstub.dtt"},
        {"a folder beside is no stub", Folder, File, "lib/ciphra2k/sfdstub.dtt"},
        {"a folder installed is no stub", Nothing, Folder, "bin/sfdstub.dtt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const test::TempFolder root;
        std::filesystem::create_directories(root.Path() / "bin");
        std::filesystem::create_directories(root.Path() / "lib/ciphra2k");
        const auto make = [](Made what, const std::string& path) {
            if (what == File) {
                test::WriteBytes(path, "stub");
            } else if (what == Folder) {
                std::filesystem::create_directory(path);
            }
        };
        make(c.Beside, root / "bin/sfdstub.dtt");
        make(c.Installed, root / "lib/ciphra2k/sfdstub.dtt");
        EXPECT_EQ(StubPathFor(root / "bin"), root / c.Expected);
    }
}

TEST(StubPathFor, FollowsALinkToTheInstalledStub)
{
    const test::TempFolder root;
    std::filesystem::create_directories(root.Path() / "usr/bin");
    std::filesystem::create_directories(root.Path() / "usr/lib/ciphra2k");
    test::WriteBytes(root / "stub-data", "stub");
    std::filesystem::create_symlink(root / "stub-data", root / "usr/lib/ciphra2k/sfdstub.dtt");
    EXPECT_EQ(StubPathFor(root / "usr/bin"), root / "usr/lib/ciphra2k/sfdstub.dtt");
}

} // namespace
} // namespace ciphra
