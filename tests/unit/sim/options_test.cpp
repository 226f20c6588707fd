#include <gtest/gtest.h>

#include "sim/sim_options.h"
#include "sim/trace.h"

namespace kt6::sim {
namespace {

TEST(SimOptions, BlockFaultsNameBlocksAndRefuseNumbersOutsideTheMap) {
    const auto parsed = parseSimOptions({"--silent-block", "12", "--silent-block=13",
                                         "--short-block", "0", "--refuse-block", "69"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const BlockFaults& f = parsed.options->model.blockFaults;
    EXPECT_EQ(f.silent, (std::set<int>{12, 13}));
    EXPECT_EQ(f.shortened, (std::set<int>{0}));
    EXPECT_EQ(f.refused, (std::set<int>{69}));
    EXPECT_FALSE(parseSimOptions({"--short-block", "70"}).options);
    EXPECT_FALSE(parseSimOptions({"--refuse-block", "x"}).options);
}

TEST(SimOptions, EveryOptionIsTaken) {
    const auto parsed =
        parseSimOptions({"--link",    "/tmp/kt6", "--firmware=1.30", "--drivers",  "4",
                         "--memory",  "m.ini",    "--trace",         "t.log",      "--pace",
                         "--drop",    "0.1",      "--corrupt=0.2",   "--no-reply", "0.3",
                         "--garbage", "1",        "--seed",          "42",         "--units",
                         "2"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const SimOptions& o = *parsed.options;
    EXPECT_EQ(o.link, "/tmp/kt6");
    EXPECT_EQ(o.model.controller.firmware, Firmware::V1_30);
    EXPECT_EQ(o.model.controller.drivers, 4);
    EXPECT_EQ(o.model.controller.units, 2);
    EXPECT_EQ(o.memoryFile, "m.ini");
    EXPECT_EQ(o.traceFile, "t.log");
    EXPECT_TRUE(o.model.pace);
    EXPECT_DOUBLE_EQ(o.model.faults.drop, 0.1);
    EXPECT_DOUBLE_EQ(o.model.faults.corrupt, 0.2);
    EXPECT_DOUBLE_EQ(o.model.faults.noReply, 0.3);
    EXPECT_DOUBLE_EQ(o.model.faults.garbage, 1.0);
    EXPECT_EQ(o.model.seed, 42u);
}

TEST(SimOptions, BadValuesAreRefusedWithTheOptionNamed) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--firmware", "1.20"},
                                                                  {"--drivers", "0"},
                                                                  {"--drivers", "5"},
                                                                  {"--drop", "1.5"},
                                                                  {"--corrupt", "x"},
                                                                  {"--seed", "-1"},
                                                                  {"--units", "4"},
                                                                  {"--link"},
                                                                  {"--frobnicate"}}) {
        const auto parsed = parseSimOptions(args);
        EXPECT_FALSE(parsed.options) << args[0];
        EXPECT_NE(parsed.error.find(args[0]), std::string::npos) << parsed.error;
    }
}

TEST(SimOptions, VersionIsAskedForOnlyByItsOption) {
    EXPECT_TRUE(parseSimOptions({"--version"}).options->version);
    EXPECT_FALSE(parseSimOptions({"--help"}).options->version);
    EXPECT_FALSE(parseSimOptions({"--link", "/tmp/kt6"}).options->version);
}

TEST(SimOptions, HelpListsEveryOption) {
    EXPECT_TRUE(parseSimOptions({"--help"}).options->help);
    for (const char* name :
         {"--link", "--firmware", "--drivers", "--memory", "--trace", "--pace", "--drop",
          "--corrupt", "--no-reply", "--garbage", "--seed", "--units", "--version", "--help"})
        EXPECT_NE(simUsage().find(name), std::string::npos) << name;
}

TEST(Trace, LinesCarryTimeHexAndMeaning) {
    const Bytes command{0x0D, 0x01};
    const Bytes reply{0x0D, 0, 13, 1, 0, 0x46, 0x37, 8, 0, 0, 0, 0, 3};
    const std::string line =
        traceLine(1.5, "OUT", Bytes{0xF5, 0x0D}, describeReply(command, reply));
    EXPECT_NE(line.find("1.500000 OUT F5 0D"), std::string::npos) << line;
    EXPECT_NE(line.find("fw=1.13"), std::string::npos) << line;
    EXPECT_NE(line.find("freq=14150"), std::string::npos) << line;
    EXPECT_EQ(describeCommand(Bytes{0x8E, 0x03, 0xF5, 0x1B}), "seq=8E set-frequency 7157 kHz");
    EXPECT_EQ(describeCommand(Bytes{0x10, 0x04, 3, 0, 1, 2}),
              "seq=10 write-block 3 unit 0 (2 bytes)");
}

}  // namespace
}  // namespace kt6::sim
