#include "stub/x11_window.h"

#include <X11/keysym.h>
#include <algorithm>
#include <clocale>
#include <cstddef>

#include "core/crypto/wipe.h"
#include "stub/posix_system.h"
#include "stub/x11_canvas.h"
#include "stub/x11_message_box.h"

namespace ciphra::stub {
namespace {

// Client area and controls, in pixels.
constexpr Rect WindowArea{363, 278, 297, 38};
constexpr Rect LabelArea{8, 12, 76, 13};
constexpr Rect EditArea{60, 8, 149, 21};
constexpr Rect ButtonArea{216, 8, 75, 22};
constexpr const char* WindowTitle = "Ciphra Self-Decrypting";
// Each typed character shows as one dot in a cell this wide.
constexpr int MaskCell = 7;
// Bytes the edit takes: far more than the key can use, so that an overlong
// password is still refused with its message.
constexpr std::size_t EditCapacity = 256;

enum class Focus { Edit, Button };

int EncodeUtf8(unsigned code, char* out)
{
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | code >> 6);
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | code >> 12);
        out[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | code >> 18);
    out[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

extern "C" int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

class MainWindow final : public MessageSink, public OwnerEvents {
public:
    MainWindow(const X11Api& x, Display* display, const std::string& ownPath)
        : x_(x), display_(display), canvas_(x, display), ownPath_(ownPath)
    {
        window_ =
            canvas_.CreateTopLevel(WindowArea, WindowTitle,
                                   ExposureMask | KeyPressMask | ButtonPressMask |
                                       ButtonReleaseMask | StructureNotifyMask | FocusChangeMask);
        OpenInputMethod();
        x_.MapWindow(display_, window_);
    }

    ~MainWindow()
    {
        SecureWipe(text_, sizeof text_);
        if (ic_ != nullptr)
            x_.DestroyIC(ic_);
        if (im_ != nullptr)
            x_.CloseIM(im_);
    }

    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void Run()
    {
        while (open_) {
            XEvent event;
            x_.NextEvent(display_, &event);
            if (x_.FilterEvent(&event, None))
                continue;
            Handle(event);
        }
    }

    void ShowMessage(const char* title, const char* text) override
    {
        RunMessageBox(canvas_, window_, title, text, *this);
    }

    bool OwnerEvent(const XEvent& event) override
    {
        if (event.xany.window == window_ && event.type == Expose && event.xexpose.count == 0)
            Paint();
        if (event.xany.window == window_ && event.type == DestroyNotify)
            open_ = false;
        return open_;
    }

private:
    void OpenInputMethod()
    {
        // Typing goes through the input method when there is one, for dead
        // keys and composed characters; plain keysyms otherwise.
        std::setlocale(LC_CTYPE, "");
        x_.SetLocaleModifiers("");
        im_ = x_.OpenIM(display_, nullptr, nullptr, nullptr);
        if (im_ == nullptr)
            return;
        ic_ = x_.CreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                          window_, XNFocusWindow, window_, nullptr);
        if (ic_ != nullptr)
            x_.SetICFocus(ic_);
    }

    void Handle(XEvent& event)
    {
        // Late events of a closed message box are not ours.
        if (event.xany.window != window_)
            return;
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                Paint();
            break;
        case KeyPress:
            KeyPressed(event.xkey);
            break;
        case ButtonPress:
            if (event.xbutton.button != Button1)
                break;
            if (EditArea.Contains(event.xbutton.x, event.xbutton.y)) {
                focus_ = Focus::Edit;
            } else if (ButtonArea.Contains(event.xbutton.x, event.xbutton.y)) {
                focus_ = Focus::Button;
                pressed_ = true;
            }
            Paint();
            break;
        case ButtonRelease:
            if (pressed_) {
                pressed_ = false;
                Paint();
                if (ButtonArea.Contains(event.xbutton.x, event.xbutton.y))
                    DecryptClicked();
            }
            break;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == canvas_.DeleteAtom()) {
                x_.DestroyWindow(display_, window_);
                open_ = false;
            }
            break;
        case DestroyNotify:
            open_ = false;
            break;
        default:
            break;
        }
    }

    void KeyPressed(XKeyEvent& key)
    {
        char typed[32];
        KeySym keysym = NoSymbol;
        int length = 0;
        if (ic_ != nullptr) {
            Status status = 0;
            length = x_.Utf8LookupString(ic_, &key, typed, sizeof typed, &keysym, &status);
            if (status != XLookupChars && status != XLookupBoth)
                length = 0;
        } else {
            // Without an input method: the Latin-1 text of the key, or the
            // character of a keysym that names a Unicode code point.
            const int latin1 = x_.LookupString(&key, typed, sizeof typed, &keysym, nullptr);
            unsigned code = latin1 == 1 ? static_cast<unsigned char>(typed[0]) : 0;
            if ((keysym & 0xFF000000UL) == 0x01000000UL)
                code = static_cast<unsigned>(keysym & 0x00FFFFFFUL);
            length = code != 0 ? EncodeUtf8(code, typed) : 0;
        }
        switch (keysym) {
        case XK_Tab:
        case XK_ISO_Left_Tab:
            focus_ = focus_ == Focus::Edit ? Focus::Button : Focus::Edit;
            break;
        case XK_BackSpace:
            if (focus_ == Focus::Edit)
                EraseLastCharacter();
            break;
        case XK_Return:
        case XK_KP_Enter:
        case XK_space:
            // Enter in the edit does nothing; only the button decrypts.
            if (focus_ == Focus::Button) {
                DecryptClicked();
                return;
            }
            if (keysym != XK_space)
                break;
            [[fallthrough]];
        default:
            if (focus_ == Focus::Edit && length > 0 &&
                static_cast<unsigned char>(typed[0]) >= 0x20 && typed[0] != 0x7F &&
                length_ + static_cast<std::size_t>(length) <= EditCapacity) {
                for (int i = 0; i < length; ++i)
                    text_[length_++] = typed[i];
            }
            break;
        }
        SecureWipe(typed, sizeof typed);
        Paint();
    }

    void EraseLastCharacter()
    {
        while (length_ > 0) {
            const auto byte = static_cast<unsigned char>(text_[--length_]);
            text_[length_] = 0;
            if ((byte & 0xC0) != 0x80)
                break;
        }
    }

    std::size_t CharacterCount() const
    {
        std::size_t count = 0;
        for (std::size_t i = 0; i < length_; ++i)
            count += (static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80 ? 1 : 0;
        return count;
    }

    void DecryptClicked()
    {
        DecryptPayload(ownPath_, std::string_view(text_, length_), *this);
        Paint();
    }

    void Paint()
    {
        canvas_.Fill(window_, {0, 0, 2000, 2000}, Colour::Face);
        // A wide font moves the label left rather than under the edit.
        const int labelWidth = canvas_.TextWidth("Password:");
        const int labelLeft = std::max(2, std::min(LabelArea.Left, EditArea.Left - 4 - labelWidth));
        canvas_.Text(window_, labelLeft, LabelArea.Top, "Password:", Colour::Text);

        canvas_.Fill(window_, EditArea, Colour::Window);
        canvas_.SunkenEdge(window_, EditArea);
        const int textLeft = EditArea.Left + 4;
        const int textTop = EditArea.Top + (EditArea.Height - canvas_.LineHeight()) / 2;
        const int dotTop = EditArea.Top + (EditArea.Height - 5) / 2;
        const std::size_t fits = static_cast<std::size_t>((EditArea.Width - 10) / MaskCell);
        const std::size_t shown = CharacterCount() < fits ? CharacterCount() : fits;
        for (std::size_t i = 0; i < shown; ++i)
            canvas_.Dot(window_, textLeft + 1 + static_cast<int>(i) * MaskCell, dotTop,
                        Colour::Text);
        if (focus_ == Focus::Edit) {
            const int caret = textLeft + static_cast<int>(shown) * MaskCell;
            canvas_.Line(window_, caret, textTop, caret, textTop + canvas_.LineHeight() - 1,
                         Colour::Text);
        }

        canvas_.Fill(window_, ButtonArea, Colour::Face);
        if (pressed_)
            canvas_.SunkenEdge(window_, ButtonArea);
        else
            canvas_.RaisedEdge(window_, ButtonArea);
        const int shift = pressed_ ? 1 : 0;
        canvas_.Text(window_,
                     ButtonArea.Left + (ButtonArea.Width - canvas_.TextWidth("Decrypt")) / 2 +
                         shift,
                     ButtonArea.Top + (ButtonArea.Height - canvas_.LineHeight()) / 2 + shift,
                     "Decrypt", Colour::Text);
        if (focus_ == Focus::Button)
            canvas_.FocusRect(window_, {ButtonArea.Left + 4, ButtonArea.Top + 4,
                                        ButtonArea.Width - 8, ButtonArea.Height - 8});
        x_.Flush(display_);
    }

    const X11Api& x_;
    Display* display_;
    Canvas canvas_;
    const std::string& ownPath_;
    Window window_ = 0;
    XIM im_ = nullptr;
    XIC ic_ = nullptr;
    char text_[EditCapacity] = {};
    std::size_t length_ = 0;
    Focus focus_ = Focus::Edit;
    bool pressed_ = false;
    bool open_ = true;
};

} // namespace

void RunWindow(const X11Api& x, Display* display, const std::string& ownPath)
{
    // A window that vanishes under us must not abort the stub.
    x.SetErrorHandler(IgnoreXError);
    {
        MainWindow window(x, display, ownPath);
        window.Run();
    }
    x.CloseDisplay(display);
}

} // namespace ciphra::stub
