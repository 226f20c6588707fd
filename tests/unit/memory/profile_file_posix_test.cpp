// Profile-file cases that rest on POSIX alone: inode numbers, a file-size limit, permission
// bits and symbolic links any user may make.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "memory/profile_file.h"
#include "profile_file_fixture.h"

namespace kt6 {
namespace {

TEST_F(ProfileFileTest, aValueThatAlreadyReadsTheSameKeepsItsLineAndTheFile) {
    write("[OmniRig]\nRig1 = '1'\nRig2=0\n");
    const auto permissions = std::filesystem::status(path).permissions();
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        ProfileFile f(path);
        f.writeString("OmniRig", "Rig1", "1");
        f.writeString("OmniRig", "Rig2", "0");
        ASSERT_TRUE(f.flush());
    }
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "an unchanged file is not replaced";
    EXPECT_EQ(std::filesystem::status(path).permissions(), permissions);
    EXPECT_EQ(read(), "[OmniRig]\nRig1 = '1'\nRig2=0\n");
}

TEST_F(ProfileFileTest, failedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
    const std::string before = "[General]\nSerialport=2\n";
    write(before);
    ProfileFile f(path);
    for (int i = 0; i < 200; ++i) f.writeString("Big", "key" + std::to_string(i), "0123456789");
    // A file-size limit makes the write fail part-way, as a full disk would.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = f.flush(&error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(read(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "temporary left";
}

TEST_F(ProfileFileTest, replacementKeepsPermissionsAndWritesThroughALink) {
    const auto real = dir / "real.ini";
    std::ofstream(real, std::ios::binary) << "[General]\nSerialport=1\n";
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    std::filesystem::create_symlink("real.ini", path);
    {
        ProfileFile f(path);
        f.writeString("General", "Serialport", "9");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ProfileFile(real).readString("General", "Serialport", ""), "9");
    EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
}

}  // namespace
}  // namespace kt6
