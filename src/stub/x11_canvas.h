#pragma once
// Drawing for the stub's windows: the display connection, one graphics
// context, the UI font and the classic 3-D colours, with the few shapes the
// controls are made of. Text is UTF-8, drawn through 16-bit glyph indices so
// that fonts in ISO 10646 encoding show any character of the first plane.

#include <string_view>

#include "stub/x11_api.h"

namespace ciphra::stub {

struct Rect {
    int Left, Top, Width, Height;
    bool Contains(int x, int y) const
    {
        return x >= Left && y >= Top && x < Left + Width && y < Top + Height;
    }
};

enum class Colour { Face, Highlight, Light, Shadow, DarkShadow, Window, Text, Count };

class Canvas {
public:
    // Takes an open display; loads the font and colours.
    Canvas(const X11Api& x, Display* display);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    const X11Api& X() const { return x_; }
    Display* Dpy() const { return display_; }
    Window Root() const;

    // A top-level window of the stub's own, with the button-face background,
    // close requests delivered as WM_DELETE_WINDOW and the given title.
    Window CreateTopLevel(const Rect& where, const char* title, long events);
    Atom DeleteAtom() const { return deleteWindow_; }

    void Fill(Window w, const Rect& r, Colour c);
    // Two-pixel 3-D edges: raised (buttons) or sunken (edits, pressed buttons).
    void RaisedEdge(Window w, const Rect& r);
    void SunkenEdge(Window w, const Rect& r);
    // The dotted rectangle of a focused button.
    void FocusRect(Window w, const Rect& r);
    void Line(Window w, int x1, int y1, int x2, int y2, Colour c);

    int TextWidth(std::string_view utf8) const;
    int Ascent() const;
    int LineHeight() const;
    // Draws with the text's top at `top`.
    void Text(Window w, int left, int top, std::string_view utf8, Colour c);

private:
    const X11Api& x_;
    Display* display_;
    int screen_;
    GC gc_;
    XFontStruct* font_ = nullptr;
    unsigned long pixels_[static_cast<int>(Colour::Count)] = {};
    Atom deleteWindow_;
};

} // namespace ciphra::stub
