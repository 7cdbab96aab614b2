#include "stub/x11_api.h"

#include <cstring>
#include <dlfcn.h>

namespace ciphra::stub {
namespace {

// Member order of X11Api, by the library's names.
constexpr const char* SymbolNames[] = {
    "XOpenDisplay",        "XCloseDisplay",      "XDefaultScreen",    "XRootWindow",
    "XDefaultColormap",    "XCreateSimpleWindow", "XDestroyWindow",   "XMapWindow",
    "XMoveWindow",         "XStoreName",         "XInternAtom",       "XChangeProperty",
    "XSetWMProtocols",     "XSetWMNormalHints",  "XSetTransientForHint", "XSelectInput",
    "XNextEvent",          "XFlush",             "XCreateGC",         "XFreeGC",
    "XSetForeground",      "XSetFont",           "XFillRectangle",    "XDrawLine",
    "XDrawString16",       "XTextWidth16",       "XLoadQueryFont",    "XFreeFont",
    "XAllocColor",         "XLookupString",      "XOpenIM",           "XCloseIM",
    "XCreateIC",           "XDestroyIC",         "XSetICFocus",       "Xutf8LookupString",
    "XFilterEvent",        "XSetLocaleModifiers", "XSetErrorHandler",
    "XGetWindowAttributes", "XTranslateCoordinates", "XLookupKeysym",
};

static_assert(sizeof(X11Api) == sizeof(SymbolNames) / sizeof(SymbolNames[0]) * sizeof(void*),
              "every Xlib entry needs its name");

X11Api Table;

} // namespace

const X11Api* LoadX11() noexcept
{
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    auto* slot = reinterpret_cast<unsigned char*>(&Table);
    for (const char* name : SymbolNames) {
        void* symbol = dlsym(library, name);
        if (symbol == nullptr)
            return nullptr;
        std::memcpy(slot, &symbol, sizeof symbol);
        slot += sizeof symbol;
    }
    return &Table;
}

} // namespace ciphra::stub
