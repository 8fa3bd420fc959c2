#pragma once

// Modem lines for one pseudo-terminal. A pty has no CTS, DSR or carrier and
// refuses DTR and RTS, so a program linked with ModemLineShim.cpp answers the
// modem-line calls (TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC) for the one pty
// named in MONITOR_TEST_MODEM_PTY from the state below, and records what is
// set there; every other call, and every other device, goes to the system.

#include <atomic>

namespace testmodem {

struct TModemLines
{
    // What the modem shows.
    std::atomic<bool> Cts{true};
    std::atomic<bool> Dsr{true};
    std::atomic<bool> Carrier{false};
    // What the program drives.
    std::atomic<bool> Dtr{false};
    std::atomic<bool> Rts{false};
};

// The state of the pty named in the environment variable.
TModemLines &Lines();

inline constexpr const char *kPtyVariable = "MONITOR_TEST_MODEM_PTY";

} // namespace testmodem
