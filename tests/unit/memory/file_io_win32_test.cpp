// The Windows file layer: a backup's strict replacement writes only a regular file in a folder
// that exists; the settings file's replacement
// makes its folder on a first start; both put every byte in place and leave no temporary file.
#include <gtest/gtest.h>

#include "memory/file_io.h"
#include "support/temp_dir.h"

namespace kt6 {
namespace {

namespace fs = std::filesystem;
using testing::slurp;
using testing::TempDir;

// The refusal of a reparse point (a symbolic link) is not tested here: Wine 8.0's
// CreateSymbolicLinkW returns success and makes nothing, and a Unix link inside the prefix
// reads as the file it names. docs/windows.md lists it as untested on real Windows.
TEST(Win32StrictReplace, AMissingFolderIsNeverMadeAndAFolderNeverReplaced) {
    TempDir dir;
    std::string error;
    const fs::path missing = dir.path / "missing" / "x.skarnel";
    EXPECT_FALSE(replaceFileAtomically(missing, "x", &error, ReplacePolicy::Strict));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir.path / "missing"));

    fs::create_directory(dir.path / "folder.skarnel");
    EXPECT_FALSE(
        replaceFileAtomically(dir.path / "folder.skarnel", "x", &error, ReplacePolicy::Strict));
    EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
    EXPECT_EQ(dir.entries(), 1);  // no temporary file left
}

TEST(Win32Replace, EveryByteLandsInPlaceAndAFirstStartMakesTheSettingsFolder) {
    TempDir dir;
    const std::string text("[General]\r\nSerialport=7\r\n\xE8\x00;end", 30);
    const fs::path backup = dir.write("keep.skarnel", "old\r\n");
    std::string error;
    ASSERT_TRUE(replaceFileAtomically(backup, text, &error, ReplacePolicy::Strict)) << error;
    EXPECT_EQ(slurp(backup), text);
    const fs::path settings = dir.write("skarnel.ini", "[General]\n");
    ASSERT_TRUE(replaceFileAtomically(settings, text, &error)) << error;
    EXPECT_EQ(slurp(settings), text);
    EXPECT_EQ(dir.entries(), 2);

    const fs::path fresh = dir.path / "AppData" / "skarnel" / "skarnel.ini";
    ASSERT_TRUE(replaceFileAtomically(fresh, "[General]\r\n", &error)) << error;
    EXPECT_EQ(readWholeFile(fresh, 1024, nullptr), "[General]\r\n");
    std::string reason;
    EXPECT_FALSE(readWholeFile(dir.path / "AppData", 1024, &reason));
    EXPECT_EQ(reason, "is not a regular file");
    EXPECT_FALSE(readWholeFile(dir.path / "none.ini", 1024, &reason));
}

}  // namespace
}  // namespace kt6
