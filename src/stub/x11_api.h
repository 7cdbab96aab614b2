#pragma once
// Xlib, loaded at run time. The stub must start on machines without any X
// library, so it links none: libX11.so.6 is opened with dlopen and the few
// functions the window needs are looked up by name. The X headers are used
// for their types only.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ciphra::stub {

struct X11Api {
    Display* (*OpenDisplay)(const char*);
    int (*CloseDisplay)(Display*);
    int (*DefaultScreenNumber)(Display*);
    Window (*RootWindowOf)(Display*, int);
    Colormap (*DefaultColormapOf)(Display*, int);
    Window (*CreateSimpleWindow)(Display*, Window, int, int, unsigned, unsigned, unsigned,
                                 unsigned long, unsigned long);
    int (*DestroyWindow)(Display*, Window);
    int (*MapWindow)(Display*, Window);
    int (*MoveWindow)(Display*, Window, int, int);
    int (*StoreName)(Display*, Window, const char*);
    Atom (*InternAtom)(Display*, const char*, Bool);
    int (*ChangeProperty)(Display*, Window, Atom, Atom, int, int, const unsigned char*, int);
    Status (*SetWMProtocols)(Display*, Window, Atom*, int);
    void (*SetWMNormalHints)(Display*, Window, XSizeHints*);
    int (*SetTransientForHint)(Display*, Window, Window);
    int (*SelectInput)(Display*, Window, long);
    int (*NextEvent)(Display*, XEvent*);
    int (*Flush)(Display*);
    GC (*CreateGC)(Display*, Drawable, unsigned long, XGCValues*);
    int (*FreeGC)(Display*, GC);
    int (*SetForeground)(Display*, GC, unsigned long);
    int (*SetFont)(Display*, GC, Font);
    int (*FillRectangle)(Display*, Drawable, GC, int, int, unsigned, unsigned);
    int (*DrawLine)(Display*, Drawable, GC, int, int, int, int);
    int (*DrawString16)(Display*, Drawable, GC, int, int, const XChar2b*, int);
    int (*TextWidth16)(XFontStruct*, const XChar2b*, int);
    XFontStruct* (*LoadQueryFont)(Display*, const char*);
    int (*FreeFont)(Display*, XFontStruct*);
    Status (*AllocColor)(Display*, Colormap, XColor*);
    int (*LookupString)(XKeyEvent*, char*, int, KeySym*, XComposeStatus*);
    XIM (*OpenIM)(Display*, struct _XrmHashBucketRec*, char*, char*);
    Status (*CloseIM)(XIM);
    XIC (*CreateIC)(XIM, ...);
    void (*DestroyIC)(XIC);
    void (*SetICFocus)(XIC);
    int (*Utf8LookupString)(XIC, XKeyPressedEvent*, char*, int, KeySym*, Status*);
    Bool (*FilterEvent)(XEvent*, Window);
    char* (*SetLocaleModifiers)(const char*);
    XErrorHandler (*SetErrorHandler)(XErrorHandler);
    Status (*GetWindowAttributes)(Display*, Window, XWindowAttributes*);
    Bool (*TranslateCoordinates)(Display*, Window, Window, int, int, int*, int*, Window*);
    KeySym (*LookupKeysym)(XKeyEvent*, int);
};

// Opens libX11.so.6 and fills the table. Returns nullptr when the library or
// one of the functions is missing. The library stays loaded until exit.
const X11Api* LoadX11() noexcept;

} // namespace ciphra::stub
