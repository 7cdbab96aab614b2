#include "stub/posix_system.h"

#include <optional>

#include "core/io/output_file.h"
#include "core/io/path_names.h"
#include "core/jobs/output_names.h"
#include "core/jobs/stub_image.h"

namespace ciphra::stub {
namespace {

class PosixSystem final : public StubSystem {
public:
    explicit PosixSystem(const std::string& ownPath);

    const char* RestoredName() override { return restoredName_.c_str(); }
    const char* FolderName() override { return folder_.c_str(); }
    bool CreateWorkingFile() override;
    bool OpenPayload() override;
    bool ReadChunk(std::uint8_t* bytes, std::size_t n, std::size_t& got) override;
    bool WriteChunk(const std::uint8_t* bytes, std::size_t n) override;
    bool FinishWorkingFile() override;
    Naming NameWorkingFile(const char* name) override;
    const char* KeepWorkingFile() override;
    void RemoveWorkingFile() override { restored_.reset(); }
    const char* Failure() override { return failure_.c_str(); }

private:
    std::string ownPath_;
    std::string restoredPath_;
    std::string restoredName_;
    std::string folder_;
    std::optional<OutputFile> restored_;
    std::optional<File> payload_;
    std::uint64_t written_ = 0;
    std::string keptName_;
    std::string failure_;
};

PosixSystem::PosixSystem(const std::string& ownPath)
    : ownPath_(ownPath), restoredPath_(RestoredPathOf(ownPath)),
      restoredName_(NameOf(restoredPath_)), folder_(FolderOf(ownPath))
{
}

bool PosixSystem::CreateWorkingFile()
{
    try {
        restored_.emplace(restoredPath_);
        written_ = 0;
        return true;
    } catch (const FileError& error) {
        failure_ = error.what();
        return false;
    }
}

bool PosixSystem::OpenPayload()
{
    payload_ = File::TryOpen(ownPath_, OpenMode::ReadOnly);
    if (!payload_) {
        return false;
    }
    try {
        payload_->Seek(SfdPayloadOffset(*payload_));
        return true;
    } catch (const Exception&) {
        payload_.reset();
        return false;
    }
}

bool PosixSystem::ReadChunk(std::uint8_t* bytes, std::size_t n, std::size_t& got)
{
    try {
        got = payload_->Read(bytes, n);
        return true;
    } catch (const FileError& error) {
        failure_ = error.what();
        return false;
    }
}

bool PosixSystem::WriteChunk(const std::uint8_t* bytes, std::size_t n)
{
    try {
        restored_->Handle().WriteAllAt(bytes, n, written_);
        written_ += n;
        return true;
    } catch (const FileError& error) {
        failure_ = error.what();
        return false;
    }
}

bool PosixSystem::FinishWorkingFile()
{
    try {
        restored_->Finish(MaskedPermissions(0666));
        return true;
    } catch (const FileError& error) {
        failure_ = error.what();
        return false;
    }
}

Naming PosixSystem::NameWorkingFile(const char* name)
{
    try {
        return restored_->PublishNewAs(name) ? Naming::Named : Naming::Taken;
    } catch (const FileError& error) {
        failure_ = error.what();
        return Naming::Failed;
    }
}

const char* PosixSystem::KeepWorkingFile()
{
    keptName_ = NameOf(restored_->Release());
    return keptName_.c_str();
}

} // namespace

bool DecryptPayload(const std::string& ownPath, std::string_view password, MessageSink& messages)
{
    PosixSystem system(ownPath);
    return DecryptPayload(system, password, messages);
}

} // namespace ciphra::stub
