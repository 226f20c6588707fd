// The console without a window as a program of its own: Qt Core and Network only, none of the
// window system's libraries, so a small computer beside the controller keeps its memory.
// "skarnel-kt6 --headless" runs it in its own process (headless_exec_posix.cpp).
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <filesystem>
#include <string>

#include "console_line.h"
#include "logging/log.h"
#include "parent_terminal.h"

int main(int argc, char** argv) {
#ifdef __linux__
    // Started as skarnel-kt6, it is listed as skarnel-kt6 (ps, top, pidof), as it was before.
    if (argc > 0) {
        const std::string name = std::filesystem::path(argv[0]).filename().string().substr(0, 15);
        ::prctl(PR_SET_NAME, name.c_str());
    }
#endif
    kt6::installLogHandler();
    kt6::useParentTerminal();
    if (kt6::answeredOnTerminal(argc, argv)) return kt6::answerOnTerminal(argc, argv);
    return kt6::runHeadless(argc, argv);
}
