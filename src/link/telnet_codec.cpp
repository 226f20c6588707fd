#include "link/telnet_codec.h"

#include <cctype>

namespace kt6 {

using namespace telnet;

namespace {

// A subnegotiation longer than this is not one we know; it is dropped, not grown forever.
constexpr std::size_t kMaxSubnegotiation = 64;
constexpr char kSignature[] = "SkarNel KT-6 console";

void appendEscaped(std::uint8_t b, Bytes& out) {
    out.push_back(b);
    if (b == IAC) out.push_back(IAC);
}

}  // namespace

bool TelnetCodec::weOffer(std::uint8_t option) {
    return option == BINARY || option == SGA || option == COM_PORT;
}

// The server may echo nothing back at us (our frames would come back as replies) and may
// speak binary and without go-aheads; nothing else is of use.
bool TelnetCodec::weAccept(std::uint8_t option) {
    return option == BINARY || option == SGA;
}

Bytes TelnetCodec::start() {
    for (std::uint8_t option : {COM_PORT, BINARY, SGA}) {
        local_[option] = State::Asked;
        send3(WILL, option);
    }
    for (std::uint8_t option : {BINARY, SGA}) {
        remote_[option] = State::Asked;
        send3(DO, option);
    }
    return takeOutput();
}

void TelnetCodec::send3(std::uint8_t verb, std::uint8_t option) {
    output_.insert(output_.end(), {IAC, verb, option});
}

Bytes TelnetCodec::takeOutput() {
    Bytes out;
    out.swap(output_);
    return out;
}

// Answers follow the rule that stops negotiation loops: reply only when the state changes,
// and never to the answer of our own request.
void TelnetCodec::negotiate(std::uint8_t verb, std::uint8_t option) {
    switch (verb) {
        case DO:
            if (local_[option] == State::Yes) break;
            if (weOffer(option)) {
                if (local_[option] == State::No) send3(WILL, option);
                local_[option] = State::Yes;
            } else {
                send3(WONT, option);
            }
            break;
        case DONT:
            if (local_[option] == State::Yes) send3(WONT, option);
            local_[option] = State::No;
            if (option == COM_PORT) portControlRefused_ = true;
            break;
        case WILL:
            if (remote_[option] == State::Yes) break;
            if (weAccept(option)) {
                if (remote_[option] == State::No) send3(DO, option);
                remote_[option] = State::Yes;
            } else {
                send3(DONT, option);
            }
            break;
        case WONT:
            if (remote_[option] == State::Yes) send3(DONT, option);
            remote_[option] = State::No;
            break;
        default:
            break;
    }
}

void TelnetCodec::subnegotiation() {
    if (sb_.size() < 2 || sb_[0] != COM_PORT) return;
    const std::uint8_t code = sb_[1];
    const Bytes value(sb_.begin() + 2, sb_.end());
    if (code == SIGNATURE + kServerOffset && value.empty()) {
        // The server asks who we are.
        const std::string_view text(kSignature);
        const Bytes signature(text.begin(), text.end());
        const Bytes reply = command(SIGNATURE, signature);
        output_.insert(output_.end(), reply.begin(), reply.end());
        return;
    }
    if (code >= kServerOffset) answers_[code - kServerOffset] = value;
}

void TelnetCodec::receive(const std::uint8_t* bytes, std::size_t n, Bytes& data) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        switch (rx_) {
            case Rx::Data:
                if (b == IAC) {
                    rx_ = Rx::Iac;
                    break;
                }
                // Outside binary mode a carriage return travels as CR NUL.
                if (b == 0 && lastWasCr_ && !remoteEnabled(BINARY)) {
                    lastWasCr_ = false;
                    break;
                }
                lastWasCr_ = b == '\r';
                data.push_back(b);
                break;
            case Rx::Iac:
                if (b == IAC) {
                    data.push_back(IAC);
                    lastWasCr_ = false;
                    rx_ = Rx::Data;
                } else if (b == WILL || b == WONT || b == DO || b == DONT) {
                    verb_ = b;
                    rx_ = Rx::Verb;
                } else if (b == SB) {
                    sb_.clear();
                    rx_ = Rx::SbData;
                } else {
                    // NOP, go-ahead, data mark and the rest carry nothing for a serial line.
                    rx_ = Rx::Data;
                }
                break;
            case Rx::Verb:
                negotiate(verb_, b);
                rx_ = Rx::Data;
                break;
            case Rx::SbData:
                if (b == IAC) {
                    rx_ = Rx::SbIac;
                } else if (sb_.size() < kMaxSubnegotiation) {
                    sb_.push_back(b);
                }
                break;
            case Rx::SbIac:
                if (b == SE) {
                    subnegotiation();
                    rx_ = Rx::Data;
                } else if (b == IAC) {
                    if (sb_.size() < kMaxSubnegotiation) sb_.push_back(IAC);
                    rx_ = Rx::SbData;
                } else {
                    // A broken subnegotiation: drop it and read this byte again as a command
                    // (unsigned wrap-around makes this right for i == 0 too).
                    rx_ = Rx::Iac;
                    --i;
                }
                break;
        }
    }
}

void TelnetCodec::encodeData(const std::uint8_t* bytes, std::size_t n, Bytes& out) const {
    const bool binary = localEnabled(BINARY);
    for (std::size_t i = 0; i < n; ++i) {
        appendEscaped(bytes[i], out);
        if (bytes[i] == '\r' && !binary) out.push_back(0);
    }
}

Bytes TelnetCodec::command(std::uint8_t code, const Bytes& value) {
    Bytes out{IAC, SB, COM_PORT};
    appendEscaped(code, out);
    for (std::uint8_t b : value) appendEscaped(b, out);
    out.push_back(IAC);
    out.push_back(SE);
    return out;
}

Bytes TelnetCodec::lineSettingsCommands(const LineSettings& settings) const {
    Bytes out;
    auto add = [&out](std::uint8_t code, const Bytes& value) {
        const Bytes c = command(code, value);
        out.insert(out.end(), c.begin(), c.end());
    };
    const std::uint32_t speed = settings.speed;
    add(SET_BAUDRATE,
        {static_cast<std::uint8_t>(speed >> 24), static_cast<std::uint8_t>(speed >> 16),
         static_cast<std::uint8_t>(speed >> 8), static_cast<std::uint8_t>(speed)});
    add(SET_DATASIZE, {settings.dataBits});
    std::uint8_t parity = 0;
    switch (std::toupper(static_cast<unsigned char>(settings.parity))) {
        case 'N':
            parity = 1;
            break;
        case 'O':
            parity = 2;
            break;
        case 'E':
            parity = 3;
            break;
        case 'M':
            parity = 4;
            break;
        case 'S':
            parity = 5;
            break;
        default:
            break;
    }
    if (parity != 0) add(SET_PARITY, {parity});
    add(SET_STOPSIZE, {static_cast<std::uint8_t>(settings.stopBits == 2 ? 2 : 1)});
    std::uint8_t flow = 0;
    switch (std::toupper(static_cast<unsigned char>(settings.flow))) {
        case 'N':
        case 'S':
            flow = 1;
            break;
        case 'X':
            flow = 2;
            break;
        case 'H':
        case 'B':
            flow = 3;
            break;
        default:
            break;
    }
    if (flow != 0) add(SET_CONTROL, {flow});
    // DTR held on, as the local port holds it.
    add(SET_CONTROL, {8});
    return out;
}

std::optional<Bytes> TelnetCodec::answer(std::uint8_t code) const {
    return answers_[code];
}

void TelnetCodec::forgetAnswers() {
    for (auto& a : answers_) a.reset();
}

}  // namespace kt6
