// kt6ctl's operating-system side on Windows: the executable's folder from its module's path.
#include <io.h>
#include <windows.h>

#include <vector>

#include "platform.h"

namespace kt6::ctl {

std::filesystem::path executableDir() {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        // A path longer than the buffer comes back cut to its size.
        if (length < name.size()) {
            return std::filesystem::path(std::wstring(name.data(), length)).parent_path();
        }
        name.resize(name.size() * 2);
    }
}

bool isTerminal(std::FILE* stream) {
    return stream && ::_isatty(::_fileno(stream)) != 0;
}

}  // namespace kt6::ctl
