#include "core/io/background_close.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

#include "support/test_files.h"

namespace ciphra {
namespace {

using test::OpenDescriptorCount;
using test::TempFolder;

// Hands `count` files whose names are already gone to `closer` at once, as a
// batch hands over the sources it replaced.
void GiveUnlinkedFiles(BackgroundClose& closer, const TempFolder& folder, int count)
{
    std::vector<File> files;
    for (int i = 0; i < count; ++i) {
        const std::string name = folder / ("f" + std::to_string(i));
        files.push_back(File::Open(name, OpenMode::CreateExclusive));
        files.back().WriteAll("x", 1);
        ASSERT_EQ(::unlink(name.c_str()), 0);
    }
    for (File& file : files) {
        closer.Add(std::move(file));
    }
}

// Many files, so that a Wait that returned early would find some still open.
TEST(BackgroundClose, EveryFileGivenIsClosedByWaitAndAtTheEnd)
{
    TempFolder folder;
    const std::size_t before = OpenDescriptorCount();
    {
        BackgroundClose closer;
        for (int round = 0; round < 2; ++round) { // the thread idles between rounds
            GiveUnlinkedFiles(closer, folder, 400);
            closer.Wait();
            EXPECT_EQ(OpenDescriptorCount(), before) << "round " << round;
        }
        GiveUnlinkedFiles(closer, folder, 400);
    }
    EXPECT_EQ(OpenDescriptorCount(), before) << "files were left open at the end";
}

} // namespace
} // namespace ciphra
