// The stub's restoring routine, in process with the stub's own build of the
// core: once it is over, no copy of the password or of the key schedule made
// from it is left on the stack or in a freed heap block.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "core/crypto/twofish.h"
#include "stub/posix_system.h"
#include "support/memory_search.h"
#include "support/test_files.h"

namespace {

constexpr char Password[] = "Zq8 stub marker pw 77";

class Messages final : public ciphra::stub::MessageSink {
public:
    void ShowMessage(const char*, const char* text) override { Last = text; }
    std::string Last;
};

__attribute__((noinline)) void MakeMarkers()
{
    const std::size_t length = sizeof Password - 1;
    ciphra::test::AddSecretMarker("password", Password, length);
    ciphra::TwofishContext ctx;
    ciphra::TwofishSetKey(ctx, Password, static_cast<std::int32_t>(length), nullptr);
    ciphra::test::AddSecretMarker("round keys", ctx.RoundKeys, 16);
    ciphra::test::AddSecretMarker("keyed S-boxes", ctx.KeyedSBoxes + 100, 16);
    ciphra::TwofishWipe(ctx);
}

// Restoring to a free name, and to another name when the first is taken.
class StubSecretsTest : public ::testing::TestWithParam<bool> {};

TEST_P(StubSecretsTest, NothingOfTheSecretStaysBehind)
{
    ciphra::test::TempFolder folder;
    ciphra::test::WriteBytes(folder / "pw", std::string(Password) + "\n");
    ciphra::test::WriteBytes(folder / "data.txt", ciphra::test::PatternBytes(30000, 9));
    const std::string make = std::string(CIPHRA_CLI_PATH) + " sfx --password-file '" +
                             (folder / "pw") + "' --stub '" + CIPHRA_STUB_FILE + "' '" +
                             (folder / "data.txt") + "' > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    if (GetParam()) {
        ciphra::test::WriteBytes(folder / "data.dec", "taken");
    }

    if (!ciphra::test::HaveSecretMarkers()) {
        std::thread(MakeMarkers).join(); // its leftovers stay on its own stack
    }
    Messages messages;
    bool restored = false;
    const std::string left = ciphra::test::SecretsLeftBehind(
        [&] { restored = ciphra::stub::DecryptPayload(folder / "data.exe", Password, messages); });
    EXPECT_EQ(restored, !GetParam()) << messages.Last;
    EXPECT_EQ(ciphra::test::ReadBytes(GetParam() ? folder / "data (2).dec" : folder / "data.dec"),
              ciphra::test::PatternBytes(30000, 9));
    EXPECT_EQ(left, "");
}

INSTANTIATE_TEST_SUITE_P(Stub, StubSecretsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "NameTaken" : "FreeName"; });

} // namespace
