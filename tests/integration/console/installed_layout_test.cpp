// The console copied into an installed layout (PREFIX/bin beside PREFIX/share/doc/skarnel-kt6),
// as the package puts it: it finds its manuals there, keeps its settings in the user's
// configuration folder, and answers --version without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/documents_location.h"
#include "console/settings_location.h"
#include "kt6_build_info.h"

extern char** environ;

namespace kt6 {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the program to its end with the environment given, stdout and stderr captured.
Outcome run(const fs::path& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env, const fs::path& scratch) {
    const fs::path out = scratch / "stdout", err = scratch / "stderr";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> argStore{program.string()};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore = env;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    Outcome r;
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

class InstalledLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("kt6-installed-" + std::to_string(::getpid()));
        fs::remove_all(root);
        bin = root / "usr" / "bin";
        doc = root / "usr" / "share" / "doc" / "skarnel-kt6";
        fs::create_directories(bin);
        fs::create_directories(doc);
        console = bin / "skarnel-kt6";
        fs::copy_file(KT6_CONSOLE_BINARY, console);
    }
    void TearDown() override { fs::remove_all(root); }
    static void put(const fs::path& file) { std::ofstream(file) << "%PDF-1.4\n"; }
    // No display and no settings of the caller's: only what the test gives.
    std::vector<std::string> bareEnv() const {
        return {"HOME=" + (root / "home").string(), "PATH=/usr/bin:/bin"};
    }

    fs::path root, bin, doc, console;
};

TEST_F(InstalledLayout, manualsAreFoundInTheInstalledDocumentationFolder) {
    put(doc / "manual.pdf");
    put(doc / "manuale.pdf");
    const Outcome r = run(console, {"--print-manual-paths"}, bareEnv(), root);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (doc / "manual.pdf").string() + "\n" + (doc / "manuale.pdf").string() + "\n");
}

TEST_F(InstalledLayout, aManualBesideTheExecutableComesFirst) {
    put(bin / "manual.pdf");
    put(doc / "manual.pdf");
    put(doc / "manuale.pdf");
    const Outcome r = run(console, {"--print-manual-paths"}, bareEnv(), root);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (bin / "manual.pdf").string() + "\n" + (doc / "manuale.pdf").string() + "\n");
}

TEST_F(InstalledLayout, aMissingManualIsNamedAndFailsTheRun) {
    put(doc / "manual.pdf");
    const Outcome r = run(console, {"--print-manual-paths"}, bareEnv(), root);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, (doc / "manual.pdf").string() + "\n");
    EXPECT_NE(r.err.find("manuale.pdf"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(doc.string()), std::string::npos) << r.err;
}

TEST_F(InstalledLayout, versionIsPrintedWithoutADisplay) {
    const Outcome r = run(console, {"--version"}, bareEnv(), root);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SkarNel KT-6 " KT6_VERSION "\n");
}

TEST_F(InstalledLayout, installedDocumentsDirIsTheDocFolderBesideBin) {
    EXPECT_EQ(installedDocumentsDir(bin), doc);
}

// Settings: the environment is the test process's own here, set and restored per case.
class SettingsLocation : public InstalledLayout {
  protected:
    void SetUp() override {
        InstalledLayout::SetUp();
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"})
            if (const char* v = std::getenv(name)) saved.emplace_back(name, v);
        ::setenv("HOME", (root / "home").c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
        InstalledLayout::TearDown();
    }
    std::vector<std::pair<std::string, std::string>> saved;
};

TEST_F(SettingsLocation, installedConsoleUsesTheConfigFolderEvenWhereItCouldWrite) {
    // As root can write to /usr/bin, a writable folder must not make an installation portable.
    ASSERT_EQ(::access(bin.c_str(), W_OK), 0);
    std::ofstream(bin / "skarnel.ini") << "[General]\nSerialport=3\n";
    EXPECT_EQ(locateSettingsFile(bin, std::nullopt),
              root / "home" / ".config" / "skarnel" / "skarnel.ini");
    ::setenv("XDG_CONFIG_HOME", (root / "xdg").c_str(), 1);
    EXPECT_EQ(locateSettingsFile(bin, std::nullopt), root / "xdg" / "skarnel" / "skarnel.ini");
}

TEST_F(SettingsLocation, portableFolderKeepsTheFileBesideTheExecutable) {
    fs::remove_all(root / "usr" / "share");
    EXPECT_EQ(locateSettingsFile(bin, std::nullopt), bin / "skarnel.ini");
}

TEST_F(SettingsLocation, explicitFileOverridesEveryRule) {
    EXPECT_EQ(locateSettingsFile(bin, root / "mine.ini"), root / "mine.ini");
}

}  // namespace
}  // namespace kt6
