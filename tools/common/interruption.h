// Ctrl-C and its kin.  Once CatchInterruptions has run, SIGINT, SIGTERM and
// SIGHUP only raise a flag: the tools stop starting new files, conversions in
// flight see the flag between their stages and stop, every temporary file is
// removed as the work unwinds, and the tool exits with 128 + the signal's
// number.
#pragma once

#include <atomic>

void CatchInterruptions();

// Raised by the first of those signals; hand it to the library as the
// conversions' cancellation flag.
const std::atomic<bool>& InterruptionFlag();

inline bool Interrupted() { return InterruptionFlag().load(std::memory_order_relaxed); }

// The exit status for the signal that interrupted the tool (130 for SIGINT),
// or 0 when none did.
int InterruptedExitStatus();
