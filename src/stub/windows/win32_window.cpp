#include "stub/windows/win32_window.h"

#include "core/crypto/wipe.h"
#include "stub/message_text.h"
#include "stub/windows/win32_system.h"
#include "stub/windows/win32_text.h"

namespace ciphra::stub {
namespace {

struct Area {
    int Left, Top, Width, Height;
};

// The client area at its place on the screen, and the controls in it.
constexpr Area WindowArea{363, 278, 297, 38};
constexpr Area LabelArea{8, 12, 76, 13};
constexpr Area EditArea{60, 8, 149, 21};
constexpr Area ButtonArea{216, 8, 75, 22};
constexpr const wchar_t* WindowTitle = L"Ciphra Self-Decrypting";
constexpr const wchar_t* ClassName = L"CiphraSelfDecrypting";
constexpr const wchar_t* LabelText = L"Password:";
// Not IDOK: Enter in the edit sends IDOK, and only the button decrypts.
constexpr int DecryptId = 100;
constexpr int EditId = 101;
// Characters the edit takes: far more than a key can use, so that an
// overlong password is still refused with its message.
constexpr int EditCapacity = 256;

struct Window {
    HWND Main;
    HWND Button;
    HWND Label;
    HWND Edit;
    HWND Focus; // the control that has the focus while the window is active
};
Window window;

// A box's texts as Windows takes them, in static storage (they are long).
struct BoxTexts {
    wchar_t Title[64];
    wchar_t Text[2 * MessageText::Capacity];
};
BoxTexts box;

// The password as typed and as its UTF-8 bytes; wiped after each use.
struct Password {
    wchar_t Typed[EditCapacity + 1];
    char Bytes[3 * EditCapacity + 1];
};
Password password;

class BoxMessages final : public MessageSink {
public:
    // A modal box owned by the main window, with "OK" and no icon.
    void ShowMessage(const char* title, const char* text) override
    {
        ToWide(title, box.Title, sizeof box.Title / sizeof box.Title[0]);
        ToWide(text, box.Text, sizeof box.Text / sizeof box.Text[0], true);
        MessageBoxW(window.Main, box.Text, box.Title, MB_OK);
    }
};

void DecryptClicked()
{
    const int typed = GetWindowTextW(window.Edit, password.Typed, EditCapacity + 1);
    const std::size_t bytes =
        ToUtf8(password.Typed, typed > 0 ? static_cast<std::size_t>(typed) : 0, password.Bytes,
               sizeof password.Bytes);
    BoxMessages messages;
    DecryptOwnPayload(std::string_view(password.Bytes, bytes), messages);
    SecureWipeObject(password);
}

LRESULT CALLBACK WindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == DecryptId && HIWORD(wParam) == BN_CLICKED) {
            DecryptClicked();
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // The focus goes back to the control that had it (the edit at first)
        // when the window is active again, after a box too.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus == window.Edit || focus == window.Button) {
                window.Focus = focus;
            }
        } else if (window.Focus != nullptr) {
            SetFocus(window.Focus);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

HWND Control(const wchar_t* kind, const wchar_t* text, DWORD style, DWORD exStyle, Area area,
             int id)
{
    return CreateWindowExW(
        exStyle, kind, text, WS_CHILD | WS_VISIBLE | style, area.Left, area.Top, area.Width,
        area.Height, window.Main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window.Main, GWLP_HINSTANCE)), nullptr);
}

// The desktop's message font on the controls; a wide font moves the label
// left rather than under the edit.
void SetFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (font == nullptr) {
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    for (HWND control : {window.Button, window.Label, window.Edit}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SIZE size{};
    HDC dc = GetDC(window.Label);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, LabelText, static_cast<int>(WideLength(LabelText)), &size);
    SelectObject(dc, old);
    ReleaseDC(window.Label, dc);
    int left = EditArea.Left - 4 - size.cx;
    left = left < 2 ? 2 : (left > LabelArea.Left ? LabelArea.Left : left);
    MoveWindow(window.Label, left, LabelArea.Top, EditArea.Left - 2 - left, LabelArea.Height + 3,
               FALSE);
}

bool Create(HINSTANCE instance)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    if (RegisterClassW(&windowClass) == 0) {
        return false;
    }
    // Sized for its client area, whatever the borders and caption take.
    constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    RECT frame{0, 0, WindowArea.Width, WindowArea.Height};
    AdjustWindowRectEx(&frame, Style, FALSE, WS_EX_WINDOWEDGE);
    window.Main = CreateWindowExW(WS_EX_WINDOWEDGE, ClassName, WindowTitle, Style, WindowArea.Left,
                                  WindowArea.Top, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (window.Main == nullptr) {
        return false;
    }
    window.Button =
        Control(L"BUTTON", L"Decrypt", BS_PUSHBUTTON | WS_TABSTOP, 0, ButtonArea, DecryptId);
    window.Label = Control(L"STATIC", L"", SS_LEFT, 0, LabelArea, 0);
    window.Edit = Control(L"EDIT", L"", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                          EditArea, EditId);
    if (window.Button == nullptr || window.Label == nullptr || window.Edit == nullptr) {
        return false;
    }
    SendMessageW(window.Edit, EM_LIMITTEXT, EditCapacity, 0);
    SetFont();
    SetWindowTextW(window.Label, LabelText);
    window.Focus = window.Edit;
    ShowWindow(window.Main, SW_SHOW);
    SetFocus(window.Edit);
    UpdateWindow(window.Main);
    return true;
}

} // namespace

int RunWindow(HINSTANCE instance)
{
    if (!Create(instance)) {
        return 1;
    }
    // Tab moves between the edit and the button, Space or Enter on the
    // button presses it, as in a dialog.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window.Main, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}

} // namespace ciphra::stub
