// A window program on Windows starts without a console: standard output goes nowhere unless
// the one who started it redirected it. Started from a command prompt, it writes there.
#include <windows.h>

#include <cstdio>

#include "parent_terminal.h"

namespace kt6 {

void useParentTerminal() {
    // Output already redirected (to a file, a pipe, Wine's terminal) stays where it goes.
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN) return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    [[maybe_unused]] FILE* out = std::freopen("CONOUT$", "w", stdout);
    [[maybe_unused]] FILE* err = std::freopen("CONOUT$", "w", stderr);
}

}  // namespace kt6
