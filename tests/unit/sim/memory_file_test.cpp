#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/memory_file.h"

namespace kt6::sim {
namespace {

class MemoryFile : public ::testing::Test {
  protected:
    MemoryFile() {
        dir = std::filesystem::temp_directory_path() /
              ("kt6-sim-memory-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        path = dir / "memory.ini";
    }
    ~MemoryFile() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    std::filesystem::path path;
};

TEST_F(MemoryFile, EveryBlockComesBackByteForByte) {
    Controller saved(ControllerConfig{Firmware::V1_13, 3, 2});
    Bytes offsets(17);
    for (std::size_t i = 0; i < offsets.size(); ++i)
        offsets[i] = static_cast<std::uint8_t>(0xF0 + i);
    saved.memory().write(20, offsets);
    saved.memory(1).setText(0, "model", "Slave unit");
    ASSERT_TRUE(saveMemoryFile(saved, path));

    Controller loaded(ControllerConfig{Firmware::V1_13, 3, 2});
    ASSERT_TRUE(loadMemoryFile(loaded, path));
    for (int unit = 0; unit < 2; ++unit) {
        for (int block = 0; block < kBlockCount; ++block)
            EXPECT_EQ(loaded.memory(unit).read(block), saved.memory(unit).read(block))
                << unit << "/" << block;
    }
    EXPECT_EQ(loaded.memory(1).text(0, "model"), "Slave unit");
}

TEST_F(MemoryFile, TextsWithOuterBlanksOrQuotesComeBackAsTheyWere) {
    Controller saved(ControllerConfig{Firmware::V1_13, 3, 1});
    saved.memory().setText(0, "model", "  KT6 ");
    saved.memory().setText(0, "welcome", "\"Hi\" there'");
    ASSERT_TRUE(saveMemoryFile(saved, path));
    Controller loaded(ControllerConfig{Firmware::V1_13, 3, 1});
    ASSERT_TRUE(loadMemoryFile(loaded, path));
    EXPECT_EQ(loaded.memory().text(0, "model"), "  KT6 ");
    EXPECT_EQ(loaded.memory().text(0, "welcome"), "\"Hi\" there'");
}

TEST_F(MemoryFile, TheFileIsReadableByName) {
    Controller saved(ControllerConfig{});
    saved.memory().setInteger(3 + 8, "offset1", -25);
    ASSERT_TRUE(saveMemoryFile(saved, path));
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[Useroffs9]"), std::string::npos);
    EXPECT_NE(text.find("offset1=-25"), std::string::npos);
    EXPECT_NE(text.find("model=SkarNel KT-6"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".new"));
}

TEST_F(MemoryFile, MissingSectionsKeepTheirContents) {
    {
        std::ofstream out(path);
        out << "[FactoryTune1]\r\nTune1=12\r\n[useroffs2]\r\noffset1=-3\r\n";
    }
    Controller loaded(ControllerConfig{});
    ASSERT_TRUE(loadMemoryFile(loaded, path));
    EXPECT_EQ(loaded.memory().integer(37, "Tune1"), 12);
    EXPECT_EQ(loaded.memory().integer(4, "offset1"), -3);
    EXPECT_EQ(loaded.memory().text(0, "model"), std::string(kModelText));
}

TEST_F(MemoryFile, ABadNumberLoadsNothingAndIsReported) {
    {
        std::ofstream out(path);
        out << "[FactoryTune1]\r\nTune1=12\r\n[Useroffs2]\r\noffset1=abc\r\n";
    }
    Controller loaded(ControllerConfig{});
    std::string error;
    EXPECT_FALSE(loadMemoryFile(loaded, path, &error));
    EXPECT_NE(error.find("Useroffs2"), std::string::npos);
    EXPECT_EQ(loaded.memory().integer(37, "Tune1"), 0);
}

}  // namespace
}  // namespace kt6::sim
