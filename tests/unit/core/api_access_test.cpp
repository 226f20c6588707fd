// Who the interface lets in: a set token always, else a generated one only this account can
// read, and the open loopback only when asked for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/api_settings.h"
#include "memory/profile_file.h"
#include "support/temp_dir.h"

namespace kt6::api {
namespace {

using testing::slurp;
using testing::TempDir;

ApiSettings settingsOf(const TempDir& dir, const std::string& section) {
    return loadApiSettings(ProfileFile(dir.write("skarnel.ini", "[Api]\r\n" + section)));
}

unsigned modeOf(const std::filesystem::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

TEST(ConsoleAccess, theTokenOfASettingsFileNamedWithoutAFolderLivesInTheWorkingFolder) {
    EXPECT_EQ(tokenFilePath("skarnel.ini").parent_path(), std::filesystem::current_path());
}

TEST(ConsoleAccess, aSetTokenIsRequiredOnEveryBindAndAShortOneStopsTheStart) {
    TempDir dir;
    const auto tokenFile = tokenFilePath(dir.path / "skarnel.ini");
    for (const char* bind : {"127.0.0.1", "0.0.0.0", "192.168.1.20"}) {
        const Access a = consoleAccess(
            settingsOf(dir, std::string("Bind=") + bind + "\r\nToken=s3cret-s3cret-16\r\n"),
            tokenFile);
        EXPECT_EQ(a.problem, "") << bind;
        EXPECT_EQ(a.token, "s3cret-s3cret-16") << bind;
    }
    // Even with the open loopback asked for: a set token is meant.
    EXPECT_EQ(
        consoleAccess(settingsOf(dir, "OpenLoopback=1\r\nToken=s3cret-s3cret-16\r\n"), tokenFile)
            .token,
        "s3cret-s3cret-16");
    const Access shortOne = consoleAccess(settingsOf(dir, "Token=s3cret\r\n"), tokenFile);
    EXPECT_NE(shortOne.problem.find("shorter than 16 characters"), std::string::npos);
    EXPECT_NE(consoleAccess(settingsOf(dir, "Bind=0.0.0.0\r\nToken=\r\n"), tokenFile)
                  .problem.find("needs a token"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(tokenFile));
}

TEST(ConsoleAccess, withoutATokenOneIsGeneratedForThisAccountOnlyAndKt6ctlFindsIt) {
    TempDir dir;
    const auto tokenFile = tokenFilePath(dir.path / "skarnel.ini");
    // An empty Token=, as older settings files hold it, means the generated token too.
    const ApiSettings settings = settingsOf(dir, "Token=\r\n");
    const Access first = consoleAccess(settings, tokenFile);
    ASSERT_EQ(first.problem, "");
    EXPECT_EQ(first.token.size(), 64u);
    EXPECT_EQ(first.token.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(modeOf(tokenFile), 0600u);
    EXPECT_EQ(consoleAccess(settings, tokenFile).token, first.token);
    EXPECT_EQ(clientToken(settings, tokenFile), first.token);
    EXPECT_NE(consoleAccess(settings, tokenFilePath(TempDir().path / "skarnel.ini")).token,
              first.token);

    // A token others could read is a token others may have: it is replaced.
    ASSERT_EQ(::chmod(tokenFile.c_str(), 0644), 0);
    EXPECT_EQ(clientToken(settings, tokenFile), std::nullopt);
    const Access renewed = consoleAccess(settings, tokenFile);
    EXPECT_NE(renewed.token, first.token);
    EXPECT_EQ(modeOf(tokenFile), 0600u);
}

TEST(ConsoleAccess, theOpenLoopbackIsOnlyWhatOpenLoopbackAsksFor) {
    TempDir dir;
    const auto tokenFile = tokenFilePath(dir.path / "skarnel.ini");
    const Access open = consoleAccess(settingsOf(dir, "OpenLoopback=1\r\n"), tokenFile);
    EXPECT_EQ(open.problem, "");
    EXPECT_EQ(open.token, "");
    EXPECT_FALSE(std::filesystem::exists(tokenFile));
    EXPECT_EQ(clientToken(settingsOf(dir, "OpenLoopback=1\r\n"), tokenFile), std::nullopt);
    EXPECT_NE(consoleAccess(settingsOf(dir, "OpenLoopback=yes\r\n"), tokenFile).token, "");
}

TEST(ConsoleAccess, aTokenFileThatIsALinkIsNeitherReadNorWrittenThrough) {
    TempDir dir;
    const auto tokenFile = tokenFilePath(dir.path / "skarnel.ini");
    const auto elsewhere = dir.write("planted", std::string(64, 'a') + "\n");
    ::chmod(elsewhere.c_str(), 0600);
    std::filesystem::create_symlink(elsewhere, tokenFile);
    const ApiSettings settings = settingsOf(dir, "");
    EXPECT_EQ(clientToken(settings, tokenFile), std::nullopt);
    const Access a = consoleAccess(settings, tokenFile);
    EXPECT_NE(a.token, std::string(64, 'a'));
    EXPECT_FALSE(std::filesystem::is_symlink(tokenFile));
    EXPECT_EQ(slurp(elsewhere), std::string(64, 'a') + "\n");
}

}  // namespace
}  // namespace kt6::api
