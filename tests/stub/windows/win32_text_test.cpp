// The Windows stub's texts, run under Wine by wine_window_test.sh: a typed
// password becomes its UTF-8 bytes (the key of a program must not depend on
// where it runs), messages reach the boxes whole with their line breaks, and
// Windows errors read as the Linux stub's. Built like the stub, without a run
// time: it reports on standard output and ends with its status.

#include <windows.h>

#include "stub/windows/win32_text.h"

namespace {

int failures = 0;

void Say(const char* text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(lstrlenA(text)), &written,
              nullptr);
}

void Check(bool passed, const char* name)
{
    if (!passed) {
        Say("FAIL: ");
        Say(name);
        Say("\n");
        ++failures;
    }
}

bool Same(const char* a, const char* b)
{
    std::size_t i = 0;
    for (; a[i] != '\0' && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

bool SameWide(const wchar_t* a, const wchar_t* b)
{
    std::size_t i = 0;
    for (; a[i] != L'\0' && a[i] == b[i]; ++i) {
    }
    return a[i] == b[i];
}

void Utf8Cases()
{
    const struct {
        const char* Name;
        const wchar_t* Wide;
        std::size_t Capacity;
        const char* Utf8;
    } cases[] = {
        {"Latin-1 and the euro sign", L"p\u00e4ssw\u00f6rd\u20ac1", 64,
         "p\xc3\xa4ssw\xc3\xb6rd\xe2\x82\xac"
         "1"},
        {"a character beyond 16 bits", L"a\U0001F600b", 64,
         "a\xf0\x9f\x98\x80"
         "b"},
        {"cut before a character that does not fit", L"ab\u20ac", 5, "ab"},
        {"cut before a pair that does not fit", L"a\U0001F600", 5, "a"},
        {"empty", L"", 4, ""},
    };
    for (const auto& c : cases) {
        char out[64];
        const std::size_t n =
            ciphra::stub::ToUtf8(c.Wide, ciphra::stub::WideLength(c.Wide), out, c.Capacity);
        Check(Same(out, c.Utf8) && n == static_cast<std::size_t>(lstrlenA(c.Utf8)), c.Name);
    }
}

void WideCases()
{
    const struct {
        const char* Name;
        const char* Utf8;
        bool BreakLines;
        std::size_t Capacity;
        bool Fits;
        const wchar_t* Wide;
    } cases[] = {
        {"a box's line break", "Unable to decrypt file.\rFile might be corrupt.", true, 64, true,
         L"Unable to decrypt file.\r\nFile might be corrupt."},
        {"a name's \\r kept", "a\rb", false, 64, true, L"a\rb"},
        {"UTF-8 names",
         "Gr\xc3\xb6\xc3\x9f"
         "e \xe2\x82\xac",
         true, 64, true, L"Gr\u00f6\u00dfe \u20ac"},
        {"too long: empty", "abcdef", false, 4, false, L""},
        {"empty", "", true, 4, true, L""},
    };
    for (const auto& c : cases) {
        wchar_t out[64];
        const bool fits = ciphra::stub::ToWide(c.Utf8, out, c.Capacity, c.BreakLines);
        Check(fits == c.Fits && SameWide(out, c.Wide), c.Name);
    }
}

void ErrorCases()
{
    const struct {
        unsigned long Code;
        const char* Text;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "File not found"},
        {ERROR_PATH_NOT_FOUND, "File not found"},
        {ERROR_ACCESS_DENIED, "File access denied"},
        {ERROR_SHARING_VIOLATION, "File access denied"},
        {ERROR_DISK_FULL, "Disk full"},
        {ERROR_HANDLE_DISK_FULL, "Disk full"},
        {ERROR_CRC, "I/O error 23"},
    };
    for (const auto& c : cases) {
        char buffer[32];
        Check(Same(ciphra::stub::ErrorText(c.Code, buffer, sizeof buffer), c.Text), c.Text);
    }
}

} // namespace

extern "C" void __stdcall TestStart()
{
    Utf8Cases();
    WideCases();
    ErrorCases();
    Say(failures == 0 ? "PASS\n" : "");
    ExitProcess(failures == 0 ? 0 : 1);
}
