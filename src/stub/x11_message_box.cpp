#include "stub/x11_message_box.h"

#include <X11/keysym.h>
#include <algorithm>
#include <string_view>
#include <vector>

namespace ciphra::stub {
namespace {

constexpr int Margin = 16;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int MinimumWidth = 140;

std::vector<std::string_view> SplitLines(const std::string& text)
{
    std::vector<std::string_view> lines;
    std::string_view rest(text);
    for (;;) {
        const std::size_t breakAt = rest.find('\r');
        lines.push_back(rest.substr(0, breakAt));
        if (breakAt == std::string_view::npos)
            return lines;
        rest.remove_prefix(breakAt + 1);
    }
}

class MessageBox {
public:
    MessageBox(Canvas& canvas, const std::string& text) : canvas_(canvas), lines_(SplitLines(text))
    {
        int textWidth = 0;
        for (std::string_view line : lines_)
            textWidth = std::max(textWidth, canvas_.TextWidth(line));
        width_ = std::max(MinimumWidth, textWidth + 2 * Margin);
        const int textHeight = static_cast<int>(lines_.size()) * canvas_.LineHeight();
        height_ = Margin + textHeight + Margin + ButtonHeight + Margin / 2 + 4;
        button_ = {(width_ - ButtonWidth) / 2, height_ - ButtonHeight - Margin / 2 - 2, ButtonWidth,
                   ButtonHeight};
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    const Rect& Button() const { return button_; }

    void Paint(Window w, bool pressed)
    {
        canvas_.Fill(w, {0, 0, width_, height_}, Colour::Face);
        int top = Margin;
        for (std::string_view line : lines_) {
            canvas_.Text(w, Margin, top, line, Colour::Text);
            top += canvas_.LineHeight();
        }
        canvas_.Fill(w, button_, Colour::Face);
        // The default button: a dark frame around the 3-D edge.
        canvas_.Line(w, button_.Left - 1, button_.Top - 1, button_.Left + button_.Width,
                     button_.Top - 1, Colour::Text);
        canvas_.Line(w, button_.Left - 1, button_.Top + button_.Height, button_.Left + button_.Width,
                     button_.Top + button_.Height, Colour::Text);
        canvas_.Line(w, button_.Left - 1, button_.Top - 1, button_.Left - 1,
                     button_.Top + button_.Height, Colour::Text);
        canvas_.Line(w, button_.Left + button_.Width, button_.Top - 1, button_.Left + button_.Width,
                     button_.Top + button_.Height, Colour::Text);
        if (pressed)
            canvas_.SunkenEdge(w, button_);
        else
            canvas_.RaisedEdge(w, button_);
        const int shift = pressed ? 1 : 0;
        const int labelWidth = canvas_.TextWidth("OK");
        canvas_.Text(w, button_.Left + (button_.Width - labelWidth) / 2 + shift,
                     button_.Top + (button_.Height - canvas_.LineHeight()) / 2 + shift, "OK",
                     Colour::Text);
        canvas_.FocusRect(w, {button_.Left + 4, button_.Top + 4, button_.Width - 8,
                              button_.Height - 8});
    }

private:
    Canvas& canvas_;
    std::vector<std::string_view> lines_;
    int width_ = 0;
    int height_ = 0;
    Rect button_{};
};

} // namespace

void RunMessageBox(Canvas& canvas, Window owner, const char* title, const std::string& text,
                   OwnerEvents& ownerEvents)
{
    const X11Api& x = canvas.X();
    Display* display = canvas.Dpy();
    MessageBox box(canvas, text);

    // Centre over the owner, using its position on the screen.
    XWindowAttributes owned{};
    int left = 0, top = 0;
    Window child = 0;
    if (x.GetWindowAttributes(display, owner, &owned) != 0)
        x.TranslateCoordinates(display, owner, canvas.Root(), 0, 0, &left, &top, &child);
    left += (owned.width - box.Width()) / 2;
    top += (owned.height - box.Height()) / 2;

    const Window w = canvas.CreateTopLevel({std::max(0, left), std::max(0, top), box.Width(),
                                            box.Height()},
                                           title,
                                           ExposureMask | KeyPressMask | ButtonPressMask |
                                               ButtonReleaseMask | StructureNotifyMask);
    x.SetTransientForHint(display, w, owner);
    const Atom atom = x.InternAtom(display, "ATOM", False);
    const Atom dialog = x.InternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    x.ChangeProperty(display, w, x.InternAtom(display, "_NET_WM_WINDOW_TYPE", False), atom, 32,
                     PropModeReplace, reinterpret_cast<const unsigned char*>(&dialog), 1);
    const Atom modal = x.InternAtom(display, "_NET_WM_STATE_MODAL", False);
    x.ChangeProperty(display, w, x.InternAtom(display, "_NET_WM_STATE", False), atom, 32,
                     PropModeReplace, reinterpret_cast<const unsigned char*>(&modal), 1);
    x.MapWindow(display, w);

    bool pressed = false;
    bool open = true;
    bool destroyed = false;
    while (open) {
        XEvent event;
        x.NextEvent(display, &event);
        if (event.xany.window != w) {
            open = ownerEvents.OwnerEvent(event);
            continue;
        }
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                box.Paint(w, pressed);
            break;
        case KeyPress: {
            const KeySym key = x.LookupKeysym(&event.xkey, 0);
            open = !(key == XK_Return || key == XK_KP_Enter || key == XK_space || key == XK_Escape);
            break;
        }
        case ButtonPress:
            pressed = event.xbutton.button == Button1 &&
                      box.Button().Contains(event.xbutton.x, event.xbutton.y);
            box.Paint(w, pressed);
            break;
        case ButtonRelease:
            open = !(pressed && box.Button().Contains(event.xbutton.x, event.xbutton.y));
            pressed = false;
            box.Paint(w, pressed);
            break;
        case ClientMessage:
            open = static_cast<Atom>(event.xclient.data.l[0]) != canvas.DeleteAtom();
            break;
        case DestroyNotify:
            destroyed = true;
            open = false;
            break;
        default:
            break;
        }
    }
    if (!destroyed)
        x.DestroyWindow(display, w);
    x.Flush(display);
}

} // namespace ciphra::stub
