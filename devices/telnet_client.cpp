#include "devices/telnet_client.h"

namespace devices {
namespace {

// COM port control commands (RFC 2217); the server answers each with the
// same code plus 100.
constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                       kPurgeData = 12, kServerOffset = 100;
constexpr std::uint8_t kParityNone = 1, kOneStopBit = 1, kPurgeReceived = 1;

bool WeOffer(std::uint8_t option) {
  return option == TelnetClient::kBinary || option == TelnetClient::kSuppressGoAhead ||
         option == TelnetClient::kComPort;
}

// The server's echo would come back as a reply, so it is refused.
bool WeAccept(std::uint8_t option) {
  return option == TelnetClient::kBinary || option == TelnetClient::kSuppressGoAhead;
}

std::string Bytes(std::initializer_list<std::uint8_t> bytes) {
  std::string out;
  for (std::uint8_t b : bytes) out += static_cast<char>(b);
  return out;
}

// One COM port subnegotiation; an IAC inside the value is doubled.
std::string ComPortCommand(std::uint8_t command, std::string_view value) {
  std::string out = Bytes({TelnetClient::kIac, TelnetClient::kSb, TelnetClient::kComPort, command});
  for (char c : value) {
    out += c;
    if (static_cast<std::uint8_t>(c) == TelnetClient::kIac) out += c;
  }
  return out + Bytes({TelnetClient::kIac, TelnetClient::kSe});
}

}  // namespace

std::string TelnetClient::Greeting() {
  std::string out;
  for (std::uint8_t option : {kComPort, kBinary, kSuppressGoAhead}) {
    askedUs_[option] = true;
    out += Bytes({kIac, kWill, option});
  }
  for (std::uint8_t option : {kBinary, kSuppressGoAhead}) {
    askedHim_[option] = true;
    out += Bytes({kIac, kDo, option});
  }
  return out;
}

std::string TelnetClient::LineSettings(int baud) {
  confirmed_ = {};
  auto rate = static_cast<std::uint32_t>(baud);
  std::string value =
      Bytes({static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
             static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)});
  return ComPortCommand(kSetBaudRate, value) + ComPortCommand(kSetDataSize, Bytes({8})) +
         ComPortCommand(kSetParity, Bytes({kParityNone})) +
         ComPortCommand(kSetStopSize, Bytes({kOneStopBit})) +
         ComPortCommand(kPurgeData, Bytes({kPurgeReceived}));
}

std::string TelnetClient::Encode(std::string_view data) const {
  std::string out;
  out.reserve(data.size() + 2);
  for (char c : data) {
    out += c;
    if (static_cast<std::uint8_t>(c) == kIac) out += c;
    if (c == '\r' && !us_[kBinary]) out += '\0';
  }
  return out;
}

void TelnetClient::Receive(std::string_view bytes, std::string& data) {
  for (char c : bytes) {
    auto b = static_cast<std::uint8_t>(c);
    switch (state_) {
      case State::Data:
        if (b == kIac) {
          state_ = State::Iac;
        } else if (!(b == 0 && lastWasCr_ && !him_[kBinary])) {  // NVT's CR NUL is a CR
          data += c;
        }
        lastWasCr_ = b == '\r';
        break;
      case State::Iac:
        state_ = State::Data;
        if (b == kIac) {
          data += c;
          lastWasCr_ = false;
        } else if (b >= kWill && b <= kDont) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == kSb) {
          sub_.clear();
          subOverlong_ = false;
          state_ = State::Sub;
        }  // other commands (NOP, GA, a stray SE ...) carry nothing for us
        break;
      case State::Verb:
        Command(verb_, b);
        state_ = State::Data;
        break;
      case State::Sub:
        if (b == kIac) {
          state_ = State::SubIac;
        } else if (sub_.size() < kMaxSubnegotiationBytes) {
          sub_ += c;
        } else {
          subOverlong_ = true;
        }
        break;
      case State::SubIac:
        if (b == kIac) {
          if (sub_.size() < kMaxSubnegotiationBytes) sub_ += c;
          state_ = State::Sub;
          break;
        }
        // SE ends it; anything else is a broken subnegotiation, which ends
        // here too so that the command after the IAC is not lost.
        if (!subOverlong_) Subnegotiation();
        state_ = State::Data;
        if (b != kSe) {
          state_ = State::Iac;
          Receive(std::string_view(&c, 1), data);
        }
        break;
    }
  }
}

std::string TelnetClient::TakeAnswers() {
  std::string out;
  out.swap(answers_);
  return out;
}

bool TelnetClient::LineConfirmed() const {
  for (int value : confirmed_) {
    if (value == 0) return false;
  }
  return true;
}

void TelnetClient::Answer(std::uint8_t verb, std::uint8_t option) {
  if (answers_.size() + 3 <= kMaxAnswerBytes) answers_ += Bytes({kIac, verb, option});
}

// The option rules of RFC 854/1143 in their simple form: a request that
// changes nothing is not answered, so two sides can never loop; our own
// request, once answered, is not answered again. `on` and `asked` are one
// side's options (ours for DO/DONT, the server's for WILL/WONT), answered
// with `yes` or `no`.
void TelnetClient::Negotiate(bool enable, std::uint8_t option, bool supported, Options& on,
                             Options& asked, std::uint8_t yes, std::uint8_t no) {
  if (enable && !supported) {
    Answer(no, option);
  } else if (enable != on[option]) {
    on[option] = enable;
    if (!enable || !asked[option]) Answer(enable ? yes : no, option);
  }
  asked[option] = false;
}

void TelnetClient::Command(std::uint8_t verb, std::uint8_t option) {
  if (verb == kDo || verb == kDont) {
    Negotiate(verb == kDo, option, WeOffer(option), us_, askedUs_, kWill, kWont);
    if (option == kComPort) comPort_ = verb == kDo ? ComPort::Agreed : ComPort::Refused;
  } else {
    Negotiate(verb == kWill, option, WeAccept(option), him_, askedHim_, kDo, kDont);
  }
}

void TelnetClient::Subnegotiation() {
  if (sub_.size() < 3 || static_cast<std::uint8_t>(sub_[0]) != kComPort) return;
  auto command = static_cast<std::uint8_t>(sub_[1]);
  std::string_view value = std::string_view(sub_).substr(2);
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(value[i]); };
  switch (command) {
    case kServerOffset + kSetBaudRate:
      if (value.size() == 4) {
        std::uint32_t rate = (std::uint32_t{byte(0)} << 24) | (std::uint32_t{byte(1)} << 16) |
                             (std::uint32_t{byte(2)} << 8) | byte(3);
        // A rate beyond any serial line is kept as a mismatch, never as 0.
        confirmed_[0] = rate > 100'000'000 ? -1 : static_cast<int>(rate);
      }
      break;
    case kServerOffset + kSetDataSize:
    case kServerOffset + kSetParity:
    case kServerOffset + kSetStopSize:
      if (value.size() == 1) confirmed_[command - kServerOffset - 1] = byte(0);
      break;
    default:
      break;  // line and modem state notices, flow control, signatures
  }
}

}  // namespace devices
