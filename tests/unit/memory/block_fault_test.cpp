// The words for a block that did not move whole: the ones the manuals quote, each kind in
// each direction, and a backup's list of them.
#include <gtest/gtest.h>

#include "memory/block_fault.h"

namespace kt6 {
namespace {

using Kind = BlockFault::Kind;
using Way = BlockFault::Way;

TEST(BlockFaultText, EachKindIsWordedAsTheOperatorReadsItForAReadAndForAWrite) {
    const struct {
        Way way;
        Kind kind;
        const char* text;
    } rows[] = {
        {Way::Read, Kind::NoAnswer, "Useroffs10 (block 12) did not answer"},
        {Way::Read, Kind::Short, "Useroffs10 (block 12) came short"},
        {Way::Read, Kind::Refused, "Useroffs10 (block 12) refused (status 3)"},
        {Way::Read, Kind::PortClosed, "Useroffs10 (block 12) was cut off: the port closed"},
        {Way::Write, Kind::NoAnswer, "Useroffs10 (block 12): it did not answer"},
        {Way::Write, Kind::Refused, "Useroffs10 (block 12): it was refused (status 3)"},
        {Way::Write, Kind::PortClosed, "Useroffs10 (block 12): the port closed"},
        {Way::Write, Kind::NotSent, "Useroffs10 (block 12): no setup file is open"},
    };
    for (const auto& row : rows) {
        const BlockFault fault{row.way, row.kind, 12, "Useroffs10", 3, "no setup file is open"};
        EXPECT_EQ(blockFaultText(fault), row.text);
    }
}

TEST(BlockFaultText, ABackupNamesEveryFailedBlockInTheOrderRead) {
    EXPECT_EQ(failedBlocksText({}), "");
    EXPECT_EQ(failedBlocksText({{Way::Read, Kind::NoAnswer, 12, "Useroffs10"},
                                {Way::Read, Kind::Short, 50, "FactoryTune14"}}),
              "Useroffs10 (block 12) did not answer, FactoryTune14 (block 50) came short");
}

}  // namespace
}  // namespace kt6
