// The telnet side of a serial device server with COM port control (RFC
// 2217), as its client speaks it: telnet commands are taken out of the byte
// stream, the server's option requests are answered, and the line settings
// are asked for and their confirmations collected.
//
// Pure bookkeeping: the network port feeds in what it receives and sends
// what this hands out, so every rule here is testable without a server.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace devices {

class TelnetClient {
 public:
  // Telnet bytes the rules below speak of.
  static constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251,
                                kSb = 250, kSe = 240;
  static constexpr std::uint8_t kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44;

  // Answers to the server are held to this many bytes; a server that sends
  // nothing but requests cannot make them grow without bound.
  static constexpr std::size_t kMaxAnswerBytes = 4096;
  // A subnegotiation longer than this is not one of ours: its content is
  // dropped up to its end.
  static constexpr std::size_t kMaxSubnegotiationBytes = 64;

  // What the server said to our offer to control its COM port.
  enum class ComPort { Asked, Agreed, Refused };

  // The opening requests: we will control the COM port, and want binary
  // transmission both ways without go-aheads.
  std::string Greeting();

  // Sets `baud` and 8 data bits, no parity, one stop bit on the server's
  // port and discards what its port received before we came. Confirmations
  // received before this are forgotten.
  std::string LineSettings(int baud);

  // `data` as it goes on the wire: 0xFF doubled, and CR followed by NUL
  // while the server has not agreed to binary transmission.
  std::string Encode(std::string_view data) const;

  // Takes bytes from the server: its data is appended to `data`, telnet
  // commands are acted on, and what must be answered is queued.
  void Receive(std::string_view bytes, std::string& data);

  // The queued answers, emptied.
  std::string TakeAnswers();

  ComPort ComPortState() const { return comPort_; }

  // True once the server has confirmed all four line settings.
  bool LineConfirmed() const;
  // The settings as the server confirmed them (0 until then); the parity and
  // stop-bit values are RFC 2217's codes (1 none, 1 one stop bit).
  int ConfirmedBaud() const { return confirmed_[0]; }
  int ConfirmedDataSize() const { return confirmed_[1]; }
  int ConfirmedParity() const { return confirmed_[2]; }
  int ConfirmedStopSize() const { return confirmed_[3]; }

 private:
  enum class State { Data, Iac, Verb, Sub, SubIac };
  using Options = std::array<bool, 256>;

  void Command(std::uint8_t verb, std::uint8_t option);
  void Negotiate(bool enable, std::uint8_t option, bool supported, Options& on, Options& asked,
                 std::uint8_t yes, std::uint8_t no);
  void Subnegotiation();
  void Answer(std::uint8_t verb, std::uint8_t option);

  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  bool lastWasCr_ = false;
  std::string sub_;
  bool subOverlong_ = false;
  std::string answers_;
  // Per option: in force on our side / the server's side, and asked for by us.
  Options us_{}, him_{}, askedUs_{}, askedHim_{};
  ComPort comPort_ = ComPort::Asked;
  std::array<int, 4> confirmed_{};
};

}  // namespace devices
