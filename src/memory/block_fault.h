#pragma once
// Why a memory block did not move whole between the controller and the console, and the one
// place that words it: a backup that is not saved, a restore that stopped, the setup panel and
// kt6ctl all tell the operator the same words.
#include <cstdint>
#include <string>
#include <vector>

namespace kt6 {

struct BlockFault {
    // Which way the block was going.
    enum class Way { Read, Write };
    enum class Kind {
        NoAnswer,    // every try went unanswered
        Short,       // a read's reply lacked fields of its layout
        Refused,     // the controller answered with a status other than 0
        PortClosed,  // the port closed under the exchange
        NotSent,     // a write the console could not make: no setup file, a value that does not fit
    };

    Way way = Way::Read;
    Kind kind = Kind::NoAnswer;
    int block = 0;
    std::string section{};
    std::uint8_t status = 0;  // the controller's status byte, for Refused
    std::string detail{};     // why it was not sent, for NotSent
};

// "Useroffs10 (block 12) did not answer" for a read, "Factory (block 0): it was refused
// (status 3)" for a write.
std::string blockFaultText(const BlockFault& fault);
// The faults of a backup's reads, in order: "Useroffs10 (block 12) did not answer,
// FactoryTune14 (block 50) came short".
std::string failedBlocksText(const std::vector<BlockFault>& faults);

}  // namespace kt6
