#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "headless_exec.h"
#include "logging/log.h"

namespace kt6 {

int execHeadless(char** argv) {
    std::error_code error;
    // The program itself, wherever it was started from (a symbolic link, PATH).
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    // Where /proc is not there: the path the program was started by.
    if (error && argv[0]) self = argv[0];
    const std::filesystem::path headless = self.parent_path() / kHeadlessProgram;
    ::execv(headless.c_str(), argv);
    const int why = errno;
    qCCritical(lcConsole, "cannot run without a window: %s: %s", headless.c_str(),
               std::strerror(why));
    return 2;
}

}  // namespace kt6
