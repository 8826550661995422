// Bounded waits on a POSIX descriptor, shared by the local port and the
// network connection: nothing here ever waits past its deadline.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "devices/serial_channel.h"

namespace devices::io {

using TimePoint = SerialChannel::TimePoint;

// Milliseconds left until `deadline` for poll(), rounded up so that a wait
// never ends just before it and spins on zero-length polls; -1 when it has
// passed.
int MillisecondsLeft(TimePoint deadline);

// Waits until `fd` reports one of `events` (or an error or hang-up). False
// when the deadline passed first or the wait failed.
bool WaitFor(int fd, short events, TimePoint deadline);

// Writes every byte of `data` to a non-blocking descriptor, waiting for room
// until `deadline`. A socket is written without SIGPIPE, so a connection the
// other side closed fails the write instead of ending the program.
bool WriteAll(int fd, std::string_view data, TimePoint deadline, bool socket);

// Waits for bytes (never past `deadline`) and appends between 1 and `max`
// of them to `out`. Gone when the descriptor hung up, failed or reached its
// end; bytes queued before a hang-up are delivered first.
SerialChannel::ReadResult ReadSome(int fd, std::string& out, std::size_t max, TimePoint deadline);

// The system's text for an error number.
std::string ErrorText(int error);

}  // namespace devices::io
