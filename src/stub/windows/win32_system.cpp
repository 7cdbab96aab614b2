#include "stub/windows/win32_system.h"

#include <windows.h>

#include <aclapi.h>
#include <ntsecapi.h>

#include "core/jobs/pe_image.h"
#include "stub/windows/win32_text.h"

namespace ciphra::stub {
namespace {

// A name of the folder in messages is cut here (MessageText's room).
constexpr std::size_t NameTextCapacity = 4096;
constexpr std::size_t FailureCapacity = 32;
// The working file's name: "." + the restored file's name (its first
// characters when long) + "." + random letters and digits.
constexpr std::size_t WorkingStemLength = 200;
constexpr std::size_t RandomLength = 6;
constexpr int CreateAttempts = 64;

// The paths of a run. In static storage: they would take a quarter of a
// megabyte of stack.
struct Paths {
    wchar_t Own[WidePathCapacity];
    std::size_t FolderLength; // Own[0, FolderLength) is the folder with its separator
    wchar_t Restored[WidePathCapacity];
    wchar_t Working[WidePathCapacity];
    wchar_t Target[WidePathCapacity];
    char RestoredName[NameTextCapacity];
    char FolderName[NameTextCapacity];
    char WorkingName[NameTextCapacity];
};
Paths paths;

// A rename request with room for the longest path.
union RenameRequest {
    FILE_RENAME_INFO Info;
    unsigned char Room[sizeof(FILE_RENAME_INFO) + sizeof(wchar_t) * WidePathCapacity];
};
RenameRequest renameRequest;

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The own path, its folder and the restored file's path: the own path with
// the extension of its last component replaced by ".dec".
bool Locate()
{
    const DWORD length = GetModuleFileNameW(nullptr, paths.Own, WidePathCapacity);
    if (length == 0 || length >= WidePathCapacity) {
        return false;
    }
    std::size_t folder = length;
    while (folder > 0 && !IsSeparator(paths.Own[folder - 1])) {
        --folder;
    }
    paths.FolderLength = folder;
    std::size_t stem = length;
    for (std::size_t i = folder; i < length; ++i) {
        if (paths.Own[i] == L'.') {
            stem = i;
        }
    }
    for (std::size_t i = 0; i < stem; ++i) {
        paths.Restored[i] = paths.Own[i];
    }
    paths.Restored[stem] = L'\0';
    if (!AppendWide(paths.Restored, WidePathCapacity, L".dec")) {
        return false;
    }
    const wchar_t* restoredName = paths.Restored + folder;
    ToUtf8(restoredName, WideLength(restoredName), paths.RestoredName, NameTextCapacity);
    // "C:\docs" for "C:\docs\report.exe", but "C:\" for "C:\report.exe".
    std::size_t shown = folder > 0 ? folder - 1 : 0;
    if (shown > 0 && paths.Own[shown - 1] == L':') {
        ++shown;
    }
    ToUtf8(paths.Own, shown, paths.FolderName, NameTextCapacity);
    return true;
}

// `name` in the own folder, in `out`.
bool InFolder(const wchar_t* name, wchar_t* out)
{
    for (std::size_t i = 0; i < paths.FolderLength; ++i) {
        out[i] = paths.Own[i];
    }
    out[paths.FolderLength] = L'\0';
    return AppendWide(out, WidePathCapacity, name);
}

bool WorkingPath()
{
    wchar_t name[WorkingStemLength + RandomLength + 4] = L".";
    const wchar_t* restored = paths.Restored + paths.FolderLength;
    std::size_t n = 1;
    for (std::size_t i = 0; restored[i] != L'\0' && i < WorkingStemLength; ++i) {
        name[n++] = restored[i];
    }
    name[n++] = L'.';
    unsigned char random[RandomLength];
    if (!RtlGenRandom(random, sizeof random)) {
        return false;
    }
    constexpr const wchar_t* Letters = L"abcdefghijklmnopqrstuvwxyz0123456789";
    for (unsigned char byte : random) {
        name[n++] = Letters[byte % 36];
    }
    name[n] = L'\0';
    return InFolder(name, paths.Working);
}

// A DACL that lets the process's user, and nobody else, open the file.
class OwnerOnlyAcl {
public:
    bool Make()
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return false;
        }
        DWORD needed = 0;
        const BOOL known = GetTokenInformation(token, TokenUser, user_, sizeof user_, &needed);
        CloseHandle(token);
        if (!known) {
            return false;
        }
        PSID sid = reinterpret_cast<TOKEN_USER*>(user_)->User.Sid;
        return InitializeAcl(Acl(), sizeof acl_, ACL_REVISION) &&
               AddAccessAllowedAce(Acl(), ACL_REVISION, FILE_ALL_ACCESS, sid);
    }
    ACL* Acl() { return reinterpret_cast<ACL*>(acl_); }

private:
    alignas(8) unsigned char user_[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    alignas(8) unsigned char acl_[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
};

class FileBytes final : public ImageBytes {
public:
    explicit FileBytes(HANDLE file) : file_(file) {}
    bool ReadAt(void* bytes, std::size_t n, std::uint64_t offset) override
    {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        return ReadFile(file_, bytes, static_cast<DWORD>(n), &got, &at) && got == n;
    }

private:
    HANDLE file_;
};

class Win32System final : public StubSystem {
public:
    Win32System() = default;
    Win32System(const Win32System&) = delete;
    Win32System& operator=(const Win32System&) = delete;
    ~Win32System()
    {
        RemoveWorkingFile();
        if (payload_ != INVALID_HANDLE_VALUE) {
            CloseHandle(payload_);
        }
        LocalFree(newFileSecurity_);
    }

    const char* RestoredName() override { return paths.RestoredName; }
    const char* FolderName() override { return paths.FolderName; }
    bool CreateWorkingFile() override;
    bool OpenPayload() override;
    bool ReadChunk(std::uint8_t* bytes, std::size_t n, std::size_t& got) override;
    bool WriteChunk(const std::uint8_t* bytes, std::size_t n) override;
    bool FinishWorkingFile() override;
    Naming NameWorkingFile(const char* name) override;
    const char* KeepWorkingFile() override;
    void RemoveWorkingFile() override;
    const char* Failure() override { return failure_; }

private:
    bool Fail()
    {
        failure_ = ErrorText(GetLastError(), failureBuffer_, sizeof failureBuffer_);
        return false;
    }
    bool CreateExclusively();
    bool MakeOwnerOnly();

    HANDLE working_ = INVALID_HANDLE_VALUE;
    HANDLE payload_ = INVALID_HANDLE_VALUE;
    // The security the system gave the new working file, put back on it once
    // it is complete. Nothing on a volume without access control lists.
    PSECURITY_DESCRIPTOR newFileSecurity_ = nullptr;
    PACL newFileAcl_ = nullptr;
    bool newFileAclProtected_ = false;
    const char* failure_ = "";
    char failureBuffer_[FailureCapacity] = {};
};

// A new file under a new random hidden name, never opening anything that
// has a name already, and shared with no other opener.
bool Win32System::CreateExclusively()
{
    for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
        if (!WorkingPath()) {
            return Fail();
        }
        working_ = CreateFileW(
            paths.Working, GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE | READ_CONTROL | WRITE_DAC,
            0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (working_ != INVALID_HANDLE_VALUE) {
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return Fail();
        }
    }
    return Fail();
}

// Keeps the security the file was created with, and gives the file one that
// only its owner may open before any data is written into it.
bool Win32System::MakeOwnerOnly()
{
    DWORD flags = 0;
    if (!GetVolumeInformationByHandleW(working_, nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                       0)) {
        return Fail();
    }
    if ((flags & FILE_PERSISTENT_ACLS) == 0) {
        return true; // FAT and the like: files there have no owner to keep to
    }
    DWORD error = GetSecurityInfo(working_, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &newFileAcl_, nullptr, &newFileSecurity_);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (error == ERROR_SUCCESS &&
        !GetSecurityDescriptorControl(newFileSecurity_, &control, &revision)) {
        error = GetLastError();
    }
    newFileAclProtected_ = (control & SE_DACL_PROTECTED) != 0;
    OwnerOnlyAcl ownerOnly;
    if (error == ERROR_SUCCESS && !ownerOnly.Make()) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS) {
        error = SetSecurityInfo(working_, SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, ownerOnly.Acl(), nullptr);
    }
    SetLastError(error);
    return error == ERROR_SUCCESS || Fail();
}

bool Win32System::CreateWorkingFile()
{
    if (!CreateExclusively()) {
        return false;
    }
    if (!MakeOwnerOnly()) {
        RemoveWorkingFile();
        return false;
    }
    return true;
}

bool Win32System::OpenPayload()
{
    payload_ = CreateFileW(paths.Own, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (payload_ == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    FileBytes bytes(payload_);
    LARGE_INTEGER offset{};
    if (GetFileSizeEx(payload_, &size)) {
        offset.QuadPart =
            static_cast<LONGLONG>(PeImageLength(bytes, static_cast<std::uint64_t>(size.QuadPart)));
    }
    return offset.QuadPart > 0 && SetFilePointerEx(payload_, offset, nullptr, FILE_BEGIN);
}

bool Win32System::ReadChunk(std::uint8_t* bytes, std::size_t n, std::size_t& got)
{
    got = 0;
    while (got < n) {
        DWORD read = 0;
        if (!ReadFile(payload_, bytes + got, static_cast<DWORD>(n - got), &read, nullptr)) {
            return Fail();
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return true;
}

bool Win32System::WriteChunk(const std::uint8_t* bytes, std::size_t n)
{
    for (std::size_t done = 0; done < n;) {
        DWORD written = 0;
        if (!WriteFile(working_, bytes + done, static_cast<DWORD>(n - done), &written, nullptr)) {
            return Fail();
        }
        done += written;
    }
    return true;
}

// The file gets the attributes and security that the system gave it as a
// new file (no longer hidden), then its data and those go to the disk. It
// stays open, shared with nobody, until it has its name.
bool Win32System::FinishWorkingFile()
{
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(working_, FileBasicInfo, &basic, sizeof basic)) {
        return Fail();
    }
    // Times of 0 are left as they are.
    basic.CreationTime.QuadPart = 0;
    basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = 0;
    basic.ChangeTime.QuadPart = 0;
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!SetFileInformationByHandle(working_, FileBasicInfo, &basic, sizeof basic)) {
        return Fail();
    }
    if (newFileSecurity_ != nullptr) {
        const DWORD error =
            SetSecurityInfo(working_, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION |
                                (newFileAclProtected_ ? PROTECTED_DACL_SECURITY_INFORMATION
                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION),
                            nullptr, nullptr, newFileAcl_, nullptr);
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return Fail();
        }
    }
    return FlushFileBuffers(working_) || Fail();
}

// The rename never replaces what has the name. Windows journals the names
// of a folder itself: there is no folder to flush after it.
Naming Win32System::NameWorkingFile(const char* name)
{
    wchar_t* wideName = renameRequest.Info.FileName;
    if (!ToWide(name, wideName, WidePathCapacity) || !InFolder(wideName, paths.Target)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        Fail();
        return Naming::Failed;
    }
    const std::size_t length = WideLength(paths.Target);
    for (std::size_t i = 0; i <= length; ++i) {
        renameRequest.Info.FileName[i] = paths.Target[i];
    }
    renameRequest.Info.ReplaceIfExists = FALSE;
    renameRequest.Info.RootDirectory = nullptr;
    renameRequest.Info.FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
    if (SetFileInformationByHandle(working_, FileRenameInfo, &renameRequest.Info,
                                   sizeof renameRequest)) {
        CloseHandle(working_);
        working_ = INVALID_HANDLE_VALUE;
        return Naming::Named;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return Naming::Taken;
    }
    Fail();
    return Naming::Failed;
}

const char* Win32System::KeepWorkingFile()
{
    CloseHandle(working_);
    working_ = INVALID_HANDLE_VALUE;
    const wchar_t* name = paths.Working + paths.FolderLength;
    ToUtf8(name, WideLength(name), paths.WorkingName, NameTextCapacity);
    return paths.WorkingName;
}

void Win32System::RemoveWorkingFile()
{
    if (working_ == INVALID_HANDLE_VALUE) {
        return;
    }
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    const BOOL disposed =
        SetFileInformationByHandle(working_, FileDispositionInfo, &dispose, sizeof dispose);
    CloseHandle(working_);
    working_ = INVALID_HANDLE_VALUE;
    if (!disposed) {
        DeleteFileW(paths.Working);
    }
}

} // namespace

bool DecryptOwnPayload(std::string_view password, MessageSink& messages)
{
    if (!Locate()) {
        messages.ShowMessage(CrcCheckTitle, UnableToDecryptText);
        return false;
    }
    Win32System system;
    return DecryptPayload(system, password, messages);
}

} // namespace ciphra::stub
