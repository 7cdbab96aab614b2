#include "stub/x11_api.h"

#include <cstring>
#include <dlfcn.h>

namespace ciphra::stub {
namespace {

// Member order of X11Api, by the library's names, one after the other with
// their terminating zeros (one string: no relocation per name).
constexpr char SymbolNames[] = "XOpenDisplay\0"
                               "XCloseDisplay\0"
                               "XDefaultScreen\0"
                               "XRootWindow\0"
                               "XDefaultColormap\0"
                               "XCreateSimpleWindow\0"
                               "XDestroyWindow\0"
                               "XMapWindow\0"
                               "XMoveWindow\0"
                               "XStoreName\0"
                               "XInternAtom\0"
                               "XChangeProperty\0"
                               "XSetWMProtocols\0"
                               "XSetWMNormalHints\0"
                               "XSetTransientForHint\0"
                               "XSelectInput\0"
                               "XNextEvent\0"
                               "XFlush\0"
                               "XCreateGC\0"
                               "XFreeGC\0"
                               "XSetForeground\0"
                               "XSetFont\0"
                               "XFillRectangle\0"
                               "XDrawLine\0"
                               "XDrawString16\0"
                               "XTextWidth16\0"
                               "XLoadQueryFont\0"
                               "XFreeFont\0"
                               "XAllocColor\0"
                               "XLookupString\0"
                               "XOpenIM\0"
                               "XCloseIM\0"
                               "XCreateIC\0"
                               "XDestroyIC\0"
                               "XSetICFocus\0"
                               "Xutf8LookupString\0"
                               "XFilterEvent\0"
                               "XSetLocaleModifiers\0"
                               "XSetErrorHandler\0"
                               "XGetWindowAttributes\0"
                               "XTranslateCoordinates\0"
                               "XLookupKeysym\0";
constexpr std::size_t CountNames()
{
    std::size_t zeros = 0;
    for (char c : SymbolNames)
        zeros += c == '\0' ? 1 : 0;
    return zeros - 1; // the literal's own terminator
}
constexpr std::size_t SymbolCount = CountNames();

static_assert(sizeof(X11Api) == SymbolCount * sizeof(void*), "every Xlib entry needs its name");

X11Api Table;

} // namespace

const X11Api* LoadX11() noexcept
{
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    auto* slot = reinterpret_cast<unsigned char*>(&Table);
    const char* name = SymbolNames;
    for (std::size_t i = 0; i < SymbolCount; ++i, name += std::strlen(name) + 1) {
        void* symbol = dlsym(library, name);
        if (symbol == nullptr)
            return nullptr;
        std::memcpy(slot, &symbol, sizeof symbol);
        slot += sizeof symbol;
    }
    return &Table;
}

} // namespace ciphra::stub
