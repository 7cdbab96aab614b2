#include "core/jobs/stream_job.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "support/stream_reference.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr std::string_view Password = "stream job test";

// A pipe whose writing end a thread fills with `bytes` and closes.
class FedPipe {
public:
    explicit FedPipe(std::string bytes)
    {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        reader_ = File::Duplicate(ends[0]);
        ::close(ends[0]);
        File out = File::Duplicate(ends[1]);
        ::close(ends[1]);
        writer_ = std::thread([file = std::move(out), data = std::move(bytes)]() mutable {
            try {
                file.WriteAll(data.data(), data.size());
            } catch (const FileError&) {
                ADD_FAILURE() << "the stream stopped reading";
            }
        });
    }
    ~FedPipe() { writer_.join(); }
    FedPipe(const FedPipe&) = delete;
    FedPipe& operator=(const FedPipe&) = delete;

    File& Reader() { return reader_; }

private:
    File reader_;
    std::thread writer_;
};

// A pipe whose reading end a thread drains; Bytes() waits for the end.
class DrainedPipe {
public:
    DrainedPipe()
    {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        writer_ = File::Duplicate(ends[1]);
        ::close(ends[1]);
        File reader = File::Duplicate(ends[0]);
        ::close(ends[0]);
        bytes_ = std::async(std::launch::async, [in = std::move(reader)]() mutable {
            std::string all;
            char buffer[65536];
            while (const std::size_t n = in.Read(buffer, sizeof buffer)) {
                all.append(buffer, n);
            }
            return all;
        });
    }

    File& Writer() { return writer_; }
    std::string Bytes()
    {
        writer_.Close();
        return bytes_.get();
    }

private:
    File writer_;
    std::future<std::string> bytes_;
};

struct Keys {
    KeyMaterial Key;
    age::Keys Age;
    Keys()
    {
        MakeKeyMaterial(Password, true, Key);
        Age.Password = Password;
        Age.WorkFactor = 10; // quick
    }
};

std::string Through(const StreamJob& job, const std::string& bytes, const Keys& keys)
{
    FedPipe in(bytes);
    DrainedPipe out;
    TransformStream(job, in.Reader(), out.Writer(), keys.Key, keys.Age);
    return out.Bytes();
}

// Pipe to pipe, the .CPH stream gives the bytes it gives between files, at
// lengths around its chunks (a pipe's reads come in pieces of any size).
TEST(StreamJob, CphThroughPipesGivesTheFilesBytes)
{
    const Keys keys;
    for (const std::size_t length :
         {std::size_t{0}, std::size_t{17}, StreamChunkSize, 3 * StreamChunkSize + 5}) {
        SCOPED_TRACE(length);
        const std::string plain = PatternBytes(length, static_cast<std::uint32_t>(length));
        const std::string encrypted =
            Through({CipherDirection::Encrypt, CipherFormat::Cph}, plain, keys);
        EXPECT_EQ(encrypted, test::Encrypted(plain, Password));
        FedPipe in(encrypted);
        EXPECT_EQ(FormatOfStream(in.Reader()), CipherFormat::Cph);
        EXPECT_EQ(LockOfStream(in.Reader()), std::nullopt);
        DrainedPipe out;
        TransformStream({CipherDirection::Decrypt, CipherFormat::Cph}, in.Reader(), out.Writer(),
                        keys.Key, keys.Age);
        EXPECT_EQ(out.Bytes(), plain) << "the peeked bytes are decrypted too";
    }
}

TEST(StreamJob, AgeRoundTripsThroughPipesBinaryAndArmored)
{
    Keys keys;
    const std::string plain = PatternBytes(200 * 1024 + 3);
    for (const bool armor : {false, true}) {
        SCOPED_TRACE(armor);
        keys.Age.Armor = armor;
        const std::string sealed =
            Through({CipherDirection::Encrypt, CipherFormat::Age}, plain, keys);
        EXPECT_EQ(sealed.starts_with("-----BEGIN AGE ENCRYPTED FILE-----"), armor);
        FedPipe in(sealed);
        ASSERT_EQ(FormatOfStream(in.Reader()), CipherFormat::Age);
        DrainedPipe out;
        TransformStream({CipherDirection::Decrypt, CipherFormat::Age}, in.Reader(), out.Writer(),
                        keys.Key, keys.Age);
        EXPECT_EQ(out.Bytes(), plain);
    }
}

// A pipe that ends early: the age stream says so; what it wrote before
// passed its checks.
TEST(StreamJob, AnAgeStreamCutShortIsAFailure)
{
    const Keys keys;
    const std::string plain = PatternBytes(300 * 1024);
    const std::string sealed = Through({CipherDirection::Encrypt, CipherFormat::Age}, plain, keys);
    // Without its last chunk (45056 bytes and a 16-byte tag), it ends at a
    // chunk's end: every chunk left passes its check, yet the last is missing.
    FedPipe in(sealed.substr(0, sealed.size() - (45056 + 16)));
    DrainedPipe out;
    try {
        TransformStream({CipherDirection::Decrypt, CipherFormat::Age}, in.Reader(), out.Writer(),
                        keys.Key, keys.Age);
        FAIL() << "a cut stream was taken";
    } catch (const age::AgeError& error) {
        EXPECT_EQ(error.What(), age::Problem::Truncated);
    }
    const std::string written = out.Bytes();
    EXPECT_EQ(written, plain.substr(0, 4 * age::ChunkBytes));
}

// Into a named file: it appears only when complete, and an existing name
// is kept unless it may be replaced. A file read as a stream tells its lock.
TEST(StreamJob, IntoANamedFileThroughAnOutputFile)
{
    const Keys keys;
    TempFolder folder;
    const std::string output = folder / "out.age";
    const std::string plain = "into a named file";
    {
        FedPipe in(plain);
        EXPECT_TRUE(TransformStreamInto({CipherDirection::Encrypt, CipherFormat::Age}, in.Reader(),
                                        output, ExistingOutput::Refuse, 0640, keys.Key, keys.Age));
    }
    File sealed = File::Open(output, OpenMode::ReadOnly);
    EXPECT_EQ(sealed.Permissions(), 0640U);
    EXPECT_EQ(FormatOfStream(sealed), CipherFormat::Age);
    EXPECT_EQ(LockOfStream(sealed), age::Lock::Password);
    EXPECT_EQ(sealed.Position(), 0U);
    {
        FedPipe in("other");
        EXPECT_FALSE(TransformStreamInto({CipherDirection::Encrypt, CipherFormat::Cph}, in.Reader(),
                                         output, ExistingOutput::Refuse, 0600, keys.Key, keys.Age));
    }
    EXPECT_EQ(test::Snapshot(folder.Path()).size(), 1U) << "no working file is left";
    DrainedPipe out;
    TransformStream({CipherDirection::Decrypt, CipherFormat::Age}, sealed, out.Writer(), keys.Key,
                    keys.Age);
    EXPECT_EQ(out.Bytes(), plain);
    {
        FedPipe in("replaced");
        EXPECT_TRUE(TransformStreamInto({CipherDirection::Encrypt, CipherFormat::Cph}, in.Reader(),
                                        output, ExistingOutput::Replace, 0600, keys.Key, keys.Age));
    }
    EXPECT_EQ(ReadBytes(output), test::Encrypted("replaced", Password));
}

} // namespace
} // namespace ciphra
