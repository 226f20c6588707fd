#pragma once
// The simulator's end of the cable: a pseudo-terminal master, its slave as the port the console
// opens, and optionally a symbolic link to the slave that lives exactly as long as this object.
#include <filesystem>
#include <optional>
#include <string>

#include "link/unique_fd.h"

namespace kt6::sim {

class PtyDevice {
  public:
    // A new pseudo-terminal with a raw slave; nothing, with the reason, when the system has none.
    static std::optional<PtyDevice> create(std::string* error);

    PtyDevice(PtyDevice&&) = default;
    PtyDevice& operator=(PtyDevice&&) = default;

    int master() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

  private:
    PtyDevice() = default;

    UniqueFd master_;
    // Held open so the master never reads a hang-up while the console closes and reopens.
    UniqueFd slaveKeeper_;
    std::string slavePath_;
};

// A symbolic link that is removed when this goes, unless something else replaced it meanwhile.
class SymlinkGuard {
  public:
    SymlinkGuard() = default;
    // Points link at target, replacing a stale symbolic link but never any other file.
    static std::optional<SymlinkGuard> create(const std::filesystem::path& link,
                                              const std::filesystem::path& target,
                                              std::string* error);
    ~SymlinkGuard();
    SymlinkGuard(SymlinkGuard&& other) noexcept;
    SymlinkGuard& operator=(SymlinkGuard&& other) noexcept;
    SymlinkGuard(const SymlinkGuard&) = delete;
    SymlinkGuard& operator=(const SymlinkGuard&) = delete;

  private:
    std::filesystem::path link_;
    std::filesystem::path target_;
};

}  // namespace kt6::sim
