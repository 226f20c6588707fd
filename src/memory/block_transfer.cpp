#include "memory/block_transfer.h"

#include <algorithm>
#include <thread>

namespace kt6 {

namespace {
constexpr int kPreambleTimeoutMs = 200;
}  // namespace

namespace {
BlockTransfer::Pause orSleep(BlockTransfer::Pause pause) {
    if (pause) return pause;
    return [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
}
}  // namespace

BlockTransfer::BlockTransfer(Link& link) : link_(link), pause_(orSleep({})) {}

BlockTransfer::BlockTransfer(Link& link, PortWaiter& waiter, Pause pause)
    : link_(link), waiter_(&waiter), pause_(orSleep(std::move(pause))) {}

void BlockTransfer::exchange(Command command, Link::Completion done) {
    if (waiter_) {
        done(link_.SendCommandBlocking(command, *waiter_));
        return;
    }
    link_.send(std::move(command), std::move(done), Link::Lane::Held);
}

void BlockTransfer::clearLog() {
    log_.clear();
    fileText_.clear();
    spacedTexts_.clear();
}

void BlockTransfer::appendLog(std::string_view line) {
    log_.append(line);
    log_.append("\r\n");
    if (logSink_) logSink_(line);
}

void BlockTransfer::logLine(std::string_view line) {
    appendLog(line);
    fileText_.append(line);
    fileText_.append("\r\n");
}

void BlockTransfer::logField(std::string_view section, std::string_view name,
                             std::string_view value, bool text) {
    std::string line(name);
    line.push_back('=');
    appendLog(line + std::string(value));
    fileText_.append(line);
    std::string fileValue(value);
    if (text && spaceLineBreaks(fileValue)) {
        spacedTexts_.push_back(std::string(name) + " [" + std::string(section) + "]");
    }
    fileText_.append(text ? quoteIniText(fileValue) : fileValue);
    fileText_.append("\r\n");
}

bool BlockTransfer::dropStaleByte() {
    std::uint8_t stale = 0;
    return link_.port().ReadByte(stale);
}

void BlockTransfer::checkLink(std::function<void()> done) {
    exchange(Command{1, {}, false, 1, std::chrono::milliseconds(kPreambleTimeoutMs)},
             [done = std::move(done)](const Outcome&) { done(); });
}

Bytes BlockTransfer::selectorBytes(int block) const {
    const std::uint16_t selector = blockSelector(block, units_.unit());
    return {static_cast<std::uint8_t>(selector & 0xFF), static_cast<std::uint8_t>(selector >> 8)};
}

bool BlockTransfer::failedExchange(BlockFault fault, const Outcome& outcome) {
    if (!link_.port().IsOpen()) {
        fault.kind = BlockFault::Kind::PortClosed;
    } else if (outcome.status == kNoReply) {
        fault.kind = BlockFault::Kind::NoAnswer;
    } else {
        fault.kind = BlockFault::Kind::Refused;
        fault.status = outcome.status;
    }
    lastFault_ = std::move(fault);
    return true;
}

void BlockTransfer::ReadBlockToLog(int block, std::string_view layout, std::string_view section,
                                   Done done) {
    lastBlock_.clear();
    lastFault_.reset();
    exchange(Command{kReadBlockCommand, selectorBytes(block), false, kBlockTries,
                     std::chrono::milliseconds(kReadTimeoutMs)},
             [this, layout = std::string(layout),
              fault = BlockFault{.block = block, .section = std::string(section)},
              done = std::move(done)](const Outcome& outcome) {
                 done(logBlock(outcome, layout, fault));
             });
}

bool BlockTransfer::logBlock(const Outcome& outcome, std::string_view layout, BlockFault fault) {
    if (outcome.status != 0) return failedExchange(std::move(fault), outcome);
    const std::string_view section = fault.section;
    const Bytes& rx = outcome.reply;
    const std::size_t available = rx.size();
    std::size_t next = 0;
    logLine(std::string("[").append(section).append("]"));
    std::string rest(layout);
    for (std::string item = NextLayoutItem(rest); !item.empty(); item = NextLayoutItem(rest)) {
        std::string name = LayoutItemName(item);
        const int width = LayoutItemWidth(item);
        const bool text = !name.empty() && name.front() == '?';
        std::string value;
        std::uint32_t number = 0;
        for (int i = 0; i < width; ++i) {
            if (next >= available) {
                logLine(kDataError);
                fault.kind = BlockFault::Kind::Short;
                lastFault_ = std::move(fault);
                return true;
            }
            const std::uint8_t b = rx[next++];
            if (text) {
                if (b != 0) value.push_back(static_cast<char>(b));
            } else if (i < 4) {
                number |= static_cast<std::uint32_t>(b) << (8 * i);
            }
        }
        if (text) {
            name.erase(0, 1);
        } else {
            value = std::to_string(static_cast<std::int32_t>(number));
        }
        if (!name.empty() && name.front() == '!') continue;
        logField(section, name, value, text);
    }
    logLine("");
    lastBlock_.assign(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(next));
    return false;
}

std::optional<std::chrono::milliseconds> BlockTransfer::writeRetryAfter() const {
    if (!adaptiveWrite_ || !slowestWrite_) return std::nullopt;
    return std::max(kAdaptiveWriteFloor, kAdaptiveWriteFactor * *slowestWrite_);
}

void BlockTransfer::sendBlock(Command command, BlockFault fault, Done done) {
    const bool timed = command.code == kWriteBlockCommand;
    exchange(std::move(command), [this, timed, fault = std::move(fault),
                                  done = std::move(done)](const Outcome& outcome) {
        // Any answer, a refusal too, shows how long this controller takes over a write.
        if (timed && outcome.answeredIn) {
            slowestWrite_ =
                std::max(slowestWrite_.value_or(std::chrono::milliseconds(0)), *outcome.answeredIn);
        }
        if (outcome.status != 0) {
            done(failedExchange(fault, outcome));
            return;
        }
        logLine("");
        done(false);
    });
}

void BlockTransfer::WriteBlockFromFile(int block, std::string_view layout, std::string_view section,
                                       Done done) {
    lastFault_.reset();
    BlockFault fault{.way = BlockFault::Way::Write,
                     .kind = BlockFault::Kind::NotSent,
                     .block = block,
                     .section = std::string(section)};
    if (!source_) {
        fault.detail = "no setup file is open";
        lastFault_ = std::move(fault);
        done(true);
        return;
    }
    if (source_->sectionKeys(section).empty()) {
        done(false);
        return;
    }
    const EncodedBlock encoded = encodeSection(layout, *source_, section, true);
    if (encoded.error) {
        fault.detail = encodeErrorText(*encoded.error);
        lastFault_ = std::move(fault);
        done(true);
        return;
    }
    Bytes payload = selectorBytes(block);
    payload.insert(payload.end(), encoded.bytes.begin(), encoded.bytes.end());
    Command command{kWriteBlockCommand, std::move(payload), true, kBlockTries,
                    std::chrono::milliseconds(kWriteTimeoutMs)};
    // A lost request or reply costs a few of the controller's own write times, not 6 s; the
    // last try still waits them all.
    if (const auto early = writeRetryAfter()) command.retryAfter = *early;
    sendBlock(std::move(command), std::move(fault), std::move(done));
}

void BlockTransfer::WriteSetupBlock(std::uint8_t command, const Bytes& block, Done done) {
    lastFault_.reset();
    const bool factory = command == kWriteFactoryCommand;
    BlockFault fault{.way = BlockFault::Way::Write,
                     .block = factory ? kFactoryBlock : kUserBlock,
                     .section = factory ? "Factory" : "User"};
    if (units_.linked && units_.index > 0) {
        Bytes payload = selectorBytes(fault.block);
        payload.insert(payload.end(), block.begin(), block.end());
        sendBlock(Command{kWriteBlockCommand, std::move(payload), true, kBlockTries,
                          std::chrono::milliseconds(kWriteTimeoutMs)},
                  std::move(fault), std::move(done));
        return;
    }
    sendBlock(
        Command{command, block, true, kBlockTries, std::chrono::milliseconds(kSetupWriteTimeoutMs)},
        std::move(fault), std::move(done));
}

}  // namespace kt6
