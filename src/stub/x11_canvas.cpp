#include "stub/x11_canvas.h"

#include <cstdint>

namespace ciphra::stub {
namespace {

// Tried in order: a proportional sans face near 8 points, then the fixed
// font that every X server has.
constexpr const char* FontNames[] = {
    "-*-helvetica-medium-r-normal--12-*-*-*-p-*-iso10646-1",
    "-*-helvetica-medium-r-normal--12-*-*-*-p-*-iso8859-1",
    "-*-nimbus sans l-regular-r-normal--12-*-*-*-p-*-iso8859-1",
    "-misc-fixed-medium-r-semicondensed--13-*-*-*-c-*-iso10646-1",
    "fixed",
};

// The classic dialog colours: button face, highlight, light, shadow, dark
// shadow, edit background, text.
constexpr std::uint16_t Rgb[][3] = {
    {0xD4D4, 0xD0D0, 0xC8C8}, {0xFFFF, 0xFFFF, 0xFFFF}, {0xD4D4, 0xD0D0, 0xC8C8},
    {0x8080, 0x8080, 0x8080}, {0x4040, 0x4040, 0x4040}, {0xFFFF, 0xFFFF, 0xFFFF},
    {0x0000, 0x0000, 0x0000},
};

constexpr std::size_t MaxGlyphs = 512;

// UTF-8 to glyph indices of the first Unicode plane; a malformed byte or a
// character beyond the plane becomes "?". Returns the number of glyphs.
int ToGlyphs(std::string_view utf8, XChar2b* glyphs)
{
    int count = 0;
    for (std::size_t i = 0; i < utf8.size() && count < static_cast<int>(MaxGlyphs);) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = '?';
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? (lead >= 0xF0 ? 4 : 3) : lead >= 0xC0 ? 2 : 1;
        if (length == 1 && lead < 0x80) {
            code = lead;
        } else if (length > 1 && i + length <= utf8.size()) {
            code = lead & (0x7F >> length);
            for (std::size_t k = 1; k < length; ++k)
                code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            if (code > 0xFFFF)
                code = '?';
        } else {
            length = 1;
        }
        glyphs[count].byte1 = static_cast<unsigned char>(code >> 8);
        glyphs[count].byte2 = static_cast<unsigned char>(code);
        ++count;
        i += length;
    }
    return count;
}

} // namespace

Canvas::Canvas(const X11Api& x, Display* display)
    : x_(x), display_(display), screen_(x.DefaultScreenNumber(display))
{
    gc_ = x_.CreateGC(display_, Root(), 0, nullptr);
    for (const char* name : FontNames) {
        font_ = x_.LoadQueryFont(display_, name);
        if (font_ != nullptr)
            break;
    }
    if (font_ != nullptr)
        x_.SetFont(display_, gc_, font_->fid);
    const Colormap map = x_.DefaultColormapOf(display_, screen_);
    for (int i = 0; i < static_cast<int>(Colour::Count); ++i) {
        XColor colour{};
        colour.red = Rgb[i][0];
        colour.green = Rgb[i][1];
        colour.blue = Rgb[i][2];
        colour.flags = DoRed | DoGreen | DoBlue;
        if (x_.AllocColor(display_, map, &colour) != 0)
            pixels_[i] = colour.pixel;
    }
    deleteWindow_ = x_.InternAtom(display_, "WM_DELETE_WINDOW", False);
}

Canvas::~Canvas()
{
    if (font_ != nullptr)
        x_.FreeFont(display_, font_);
    x_.FreeGC(display_, gc_);
}

Window Canvas::Root() const
{
    return x_.RootWindowOf(display_, screen_);
}

Window Canvas::CreateTopLevel(const Rect& where, const char* title, long events)
{
    const Window w = x_.CreateSimpleWindow(
        display_, Root(), where.Left, where.Top, static_cast<unsigned>(where.Width),
        static_cast<unsigned>(where.Height), 0, pixels_[static_cast<int>(Colour::Text)],
        pixels_[static_cast<int>(Colour::Face)]);
    x_.StoreName(display_, w, title);
    const Atom utf8 = x_.InternAtom(display_, "UTF8_STRING", False);
    const std::string_view name(title);
    x_.ChangeProperty(display_, w, x_.InternAtom(display_, "_NET_WM_NAME", False), utf8, 8,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(title),
                      static_cast<int>(name.size()));
    Atom protocols[] = {deleteWindow_};
    x_.SetWMProtocols(display_, w, protocols, 1);
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | PSize;
    hints.x = where.Left;
    hints.y = where.Top;
    hints.width = where.Width;
    hints.height = where.Height;
    x_.SetWMNormalHints(display_, w, &hints);
    x_.SelectInput(display_, w, events);
    return w;
}

void Canvas::Fill(Window w, const Rect& r, Colour c)
{
    x_.SetForeground(display_, gc_, pixels_[static_cast<int>(c)]);
    x_.FillRectangle(display_, w, gc_, r.Left, r.Top, static_cast<unsigned>(r.Width),
                     static_cast<unsigned>(r.Height));
}

void Canvas::Line(Window w, int x1, int y1, int x2, int y2, Colour c)
{
    x_.SetForeground(display_, gc_, pixels_[static_cast<int>(c)]);
    x_.DrawLine(display_, w, gc_, x1, y1, x2, y2);
}

namespace {

// One ring of a 3-D edge: `lit` on the top and left, `dark` on the bottom
// and right, `inset` pixels inside r.
void Ring(Canvas& canvas, Window w, const Rect& r, int inset, Colour lit, Colour dark)
{
    const int left = r.Left + inset, top = r.Top + inset;
    const int right = r.Left + r.Width - 1 - inset, bottom = r.Top + r.Height - 1 - inset;
    canvas.Line(w, left, top, right - 1, top, lit);
    canvas.Line(w, left, top, left, bottom - 1, lit);
    canvas.Line(w, left, bottom, right, bottom, dark);
    canvas.Line(w, right, top, right, bottom, dark);
}

} // namespace

void Canvas::RaisedEdge(Window w, const Rect& r)
{
    Ring(*this, w, r, 0, Colour::Highlight, Colour::DarkShadow);
    Ring(*this, w, r, 1, Colour::Light, Colour::Shadow);
}

void Canvas::SunkenEdge(Window w, const Rect& r)
{
    Ring(*this, w, r, 0, Colour::Shadow, Colour::Highlight);
    Ring(*this, w, r, 1, Colour::DarkShadow, Colour::Light);
}

void Canvas::FocusRect(Window w, const Rect& r)
{
    x_.SetForeground(display_, gc_, pixels_[static_cast<int>(Colour::Text)]);
    const int right = r.Left + r.Width - 1, bottom = r.Top + r.Height - 1;
    for (int x = r.Left; x <= right; x += 2) {
        x_.FillRectangle(display_, w, gc_, x, r.Top, 1, 1);
        x_.FillRectangle(display_, w, gc_, x, bottom, 1, 1);
    }
    for (int y = r.Top; y <= bottom; y += 2) {
        x_.FillRectangle(display_, w, gc_, r.Left, y, 1, 1);
        x_.FillRectangle(display_, w, gc_, right, y, 1, 1);
    }
}

int Canvas::TextWidth(std::string_view utf8) const
{
    if (font_ == nullptr)
        return static_cast<int>(utf8.size()) * 6;
    XChar2b glyphs[MaxGlyphs];
    return x_.TextWidth16(font_, glyphs, ToGlyphs(utf8, glyphs));
}

int Canvas::Ascent() const
{
    return font_ != nullptr ? font_->ascent : 10;
}

int Canvas::LineHeight() const
{
    return font_ != nullptr ? font_->ascent + font_->descent : 13;
}

void Canvas::Text(Window w, int left, int top, std::string_view utf8, Colour c)
{
    XChar2b glyphs[MaxGlyphs];
    x_.SetForeground(display_, gc_, pixels_[static_cast<int>(c)]);
    x_.DrawString16(display_, w, gc_, left, top + Ascent(), glyphs, ToGlyphs(utf8, glyphs));
}

} // namespace ciphra::stub
