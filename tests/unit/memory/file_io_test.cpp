// The two ways a file is replaced: a backup's strict one, which writes only a regular file in a
// folder that exists, and the settings file's, which follows the user's own links.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "memory/file_io.h"
#include "support/temp_dir.h"

namespace kt6 {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempDir;

TEST(StrictReplace, ALinkIsRefusedAndWhatItNamesIsLeftAlone) {
    TempDir dir;
    const fs::path victim = dir.write("victim", "precious\n");
    const fs::path link = dir.path / "backup.skarnel";
    fs::create_symlink(victim, link);
    std::string error;
    EXPECT_FALSE(replaceFileAtomically(link, "backup\r\n", &error, ReplacePolicy::Strict));
    EXPECT_NE(error.find("is a symbolic link"), std::string::npos) << error;
    EXPECT_EQ(strictReplaceProblem(link), link.string() + " is a symbolic link");
    EXPECT_EQ(slurp(victim), "precious\n");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(dir.entries(), 2);  // no temporary file left
}

TEST(StrictReplace, ADanglingLinkOrAMissingFolderCreatesNothing) {
    TempDir dir;
    const fs::path dangling = dir.path / "dangling.skarnel";
    fs::create_symlink(dir.path / "made" / "by" / "link.skarnel", dangling);
    std::string error;
    EXPECT_FALSE(replaceFileAtomically(dangling, "x", &error, ReplacePolicy::Strict));
    EXPECT_NE(error.find("is a symbolic link"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir.path / "made"));

    const fs::path missing = dir.path / "missing" / "x.skarnel";
    EXPECT_FALSE(replaceFileAtomically(missing, "x", &error, ReplacePolicy::Strict));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_FALSE(strictReplaceProblem(missing).empty());
    EXPECT_FALSE(fs::exists(dir.path / "missing"));

    // A folder where the file should be is not replaced either.
    fs::create_directory(dir.path / "folder.skarnel");
    EXPECT_FALSE(
        replaceFileAtomically(dir.path / "folder.skarnel", "x", &error, ReplacePolicy::Strict));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
}

TEST(StrictReplace, ARegularFileIsReplacedWholeWithItsPermissions) {
    TempDir dir;
    const fs::path file = dir.write("keep.skarnel", "old\r\n");
    ::chmod(file.c_str(), 0640);
    EXPECT_EQ(strictReplaceProblem(file), "");
    std::string error;
    ASSERT_TRUE(replaceFileAtomically(file, "new\r\n\xE8", &error, ReplacePolicy::Strict)) << error;
    EXPECT_EQ(slurp(file), "new\r\n\xE8");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.entries(), 1);
    // A new file in an existing folder is made.
    ASSERT_TRUE(replaceFileAtomically(dir.path / "new.skarnel", "n", &error, ReplacePolicy::Strict))
        << error;
    EXPECT_EQ(slurp(dir.path / "new.skarnel"), "n");
}

TEST(SettingsReplace, TheUsersOwnLinkIsWrittenThroughAndAFirstStartMakesItsFolder) {
    TempDir dir;
    const fs::path real = dir.write("real.ini", "[General]\n");
    const fs::path link = dir.path / "skarnel.ini";
    fs::create_symlink(real, link);
    std::string error;
    ASSERT_TRUE(replaceFileAtomically(link, "[General]\nSerialport=2\n", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(slurp(real), "[General]\nSerialport=2\n");

    const fs::path fresh = dir.path / "config" / "skarnel" / "skarnel.ini";
    ASSERT_TRUE(replaceFileAtomically(fresh, "[General]\n", &error)) << error;
    EXPECT_EQ(slurp(fresh), "[General]\n");
}

}  // namespace
}  // namespace kt6
