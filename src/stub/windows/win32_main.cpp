// sfdstub-win: the front part of every self-decrypting program for Windows.
// It asks for the password in a small window and restores the payload that
// follows it in its own file. Built without the C and C++ run time: the
// process starts here and ends with ExitProcess.

#include <windows.h>

#include "core/jobs/stub_marker.h"
#include "stub/windows/win32_window.h"

// Tells a program writer that this file is a stub (see stub_image.h).
extern "C" const char StubMarker[] = CIPHRA_STUB_MARKER;

// Abstract classes' tables name this for their pure functions; nothing
// calls one.
extern "C" void __cxa_pure_virtual()
{
    ExitProcess(3);
}

extern "C" void __stdcall StubStart()
{
    // Kept in the program although nothing reads it at run time.
    __asm__ __volatile__("" : : "r"(StubMarker));
    // A drive without a medium fails its call instead of showing a box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ExitProcess(static_cast<UINT>(ciphra::stub::RunWindow(GetModuleHandleW(nullptr))));
}
