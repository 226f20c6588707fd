// The hub's refusals that need a symbolic link, which any user may make on POSIX systems only.
#include <gtest/gtest.h>

#include <filesystem>

#include "hub_fixture.h"
#include "support/temp_dir.h"

namespace kt6::api {
namespace {

TEST_F(HubTest, aBackupPathThatIsALinkDanglingOrNotIsRefusedBeforeAnythingRuns) {
    make();
    const auto asker = client();
    testing::TempDir dir;
    std::filesystem::create_symlink(dir.path / "elsewhere" / "target", dir.path / "dangling");
    std::filesystem::create_symlink(dir.write("victim", "mine"), dir.path / "link");
    for (const char* name : {"dangling", "link"}) {
        hub->line(asker, R"({"cmd":"backup","path":")" + (dir.path / name).string() + R"("})");
    }
    auto got = take(asker);
    ASSERT_EQ(got.size(), 2u);
    for (const json& reply : got) EXPECT_EQ(reply["ok"], false) << reply;
    EXPECT_NE(got[1]["error"].get<std::string>().find("is a symbolic link"), std::string::npos);
    EXPECT_TRUE(station.transferPath.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path / "elsewhere"));
    EXPECT_EQ(testing::slurp(dir.path / "victim"), "mine");
}

}  // namespace
}  // namespace kt6::api
