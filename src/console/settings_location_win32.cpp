// The settings file's places on Windows: beside the executable (a portable install on a USB
// stick), else the user's roaming application data.
#include <windows.h>

#include <cstdlib>

#include "console/settings_location.h"

namespace kt6 {

// Access rights on Windows are lists that no attribute sums up (the read-only attribute of a
// folder means nothing), so the one sure test is to make a file there, deleted as it closes.
bool folderWritable(const std::filesystem::path& folder) {
    const std::filesystem::path probe =
        folder / (L".skarnel-probe-" + std::to_wstring(::GetCurrentProcessId()));
    const HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

std::filesystem::path userSettingsDir() {
    if (const wchar_t* appData = ::_wgetenv(L"APPDATA"); appData && *appData) {
        return std::filesystem::path(appData) / L"skarnel";
    }
    return std::filesystem::temp_directory_path() / L"skarnel";
}

}  // namespace kt6
