#pragma once
// A folder of a test's own under the system's temporary folder, removed with everything in it
// when the test ends.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kt6::testing {

class TempDir {
  public:
    TempDir() {
        static int count = 0;
        path = std::filesystem::temp_directory_path() /
               ("kt6-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes the bytes as a file in the folder; its path.
    std::filesystem::path write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return path / name;
    }

    // How many files and folders the folder holds: a replacement leaves no temporary file.
    int entries() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path)) ++n;
        return n;
    }

    std::filesystem::path path;
};

// A file's bytes; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace kt6::testing
