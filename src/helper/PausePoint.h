// Named moments where a test can stop the daemon, to prove that a client
// whose deadline passes meanwhile, or a daemon killed there, is recovered
// from safely. Only builds compiled with KESTROVA_FAULT_INJECTION (test
// builds) honour them; elsewhere they do nothing.
//
//   KESTROVA_HELPER_PAUSE_AT=<point>[,<point>…]  stops the whole daemon with
//       SIGSTOP the first time it gets there (the test resumes it with
//       SIGCONT);
//   KESTROVA_HELPER_HOLD_AT=<point>:<file>       holds only the calling
//       thread there until <file> exists, so the daemon goes on answering.
#pragma once

#include <string_view>

namespace kestrova {

namespace pausePoints {
// The handshake's reply has been written.
inline constexpr std::string_view handshakeAnswered = "handshake-answered";
// A transaction request has been read and recorded as received.
inline constexpr std::string_view requestRead = "request-read";
// The transaction is recorded as started; nothing has moved yet.
inline constexpr std::string_view transactionStarted = "transaction-started";
// The result is recorded; its reply has not been written.
inline constexpr std::string_view transactionFinished = "transaction-finished";
}  // namespace pausePoints

void pausePoint(std::string_view point);

}  // namespace kestrova
