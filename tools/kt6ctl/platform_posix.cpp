// kt6ctl's operating-system side on POSIX: the executable's folder comes from /proc.
#include <unistd.h>

#include <system_error>

#include "platform.h"

namespace kt6::ctl {

std::filesystem::path executableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

bool isTerminal(std::FILE* stream) {
    return stream && ::isatty(::fileno(stream)) == 1;
}

}  // namespace kt6::ctl
