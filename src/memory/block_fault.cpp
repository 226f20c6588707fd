#include "memory/block_fault.h"

namespace kt6 {

namespace {

// What happened to a block read, after its name.
std::string readText(const BlockFault& fault) {
    switch (fault.kind) {
        case BlockFault::Kind::NoAnswer:
            return "did not answer";
        case BlockFault::Kind::Short:
            return "came short";
        case BlockFault::Kind::Refused:
            return "refused (status " + std::to_string(fault.status) + ")";
        case BlockFault::Kind::PortClosed:
            return "was cut off: the port closed";
        case BlockFault::Kind::NotSent:
            return "was not asked for: " + fault.detail;
    }
    return "failed";
}

// Why a block write failed, after its name and a colon.
std::string writeText(const BlockFault& fault) {
    switch (fault.kind) {
        case BlockFault::Kind::NoAnswer:
            return "it did not answer";
        case BlockFault::Kind::Short:
            return "it came short";
        case BlockFault::Kind::Refused:
            return "it was refused (status " + std::to_string(fault.status) + ")";
        case BlockFault::Kind::PortClosed:
            return "the port closed";
        case BlockFault::Kind::NotSent:
            return fault.detail;
    }
    return "it failed";
}

}  // namespace

std::string blockFaultText(const BlockFault& fault) {
    const std::string name = fault.section + " (block " + std::to_string(fault.block) + ")";
    if (fault.way == BlockFault::Way::Read) return name + " " + readText(fault);
    return name + ": " + writeText(fault);
}

std::string failedBlocksText(const std::vector<BlockFault>& faults) {
    std::string text;
    for (const BlockFault& fault : faults) {
        if (!text.empty()) text += ", ";
        text += blockFaultText(fault);
    }
    return text;
}

}  // namespace kt6
