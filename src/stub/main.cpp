// sfdstub: the front part of every self-decrypting program. It asks for the
// password in a small window (or on the terminal when there is no display)
// and restores the payload that follows it in its own file.

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

#include "core/jobs/stub_image.h"
#include "stub/terminal_mode.h"
#include "stub/x11_api.h"
#include "stub/x11_window.h"

// Tells a program writer that this file is a stub (see stub_image.h); kept in
// the program although nothing reads it at run time.
[[gnu::used, gnu::retain]] extern const char StubMarker[] = CIPHRA_STUB_MARKER;

namespace {

// The program's own file: the kernel's record of it, else argument 0.
std::string OwnPath(const char* argument0)
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0)
        return std::string(path, static_cast<std::size_t>(length));
    return argument0 != nullptr ? argument0 : "";
}

} // namespace

int main(int, char** argv)
{
    using namespace ciphra::stub;
    // The password is held from the prompt to the end: no core dump may carry
    // it, and no process of the same user may attach to read it.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    try {
        const std::string ownPath = OwnPath(argv[0]);
        const char* displayName = std::getenv("DISPLAY");
        if (displayName != nullptr && *displayName != '\0') {
            if (const X11Api* x = LoadX11()) {
                if (Display* display = x->OpenDisplay(displayName)) {
                    RunWindow(*x, display, ownPath);
                    return 0;
                }
            }
        }
        return RunTerminal(ownPath);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
