#include "interruption.h"

#include <csignal>

namespace {

std::atomic<bool> interrupted{false};
volatile std::sig_atomic_t signal_number = 0;

static_assert(std::atomic<bool>::is_always_lock_free, "raised from a signal handler");

extern "C" void OnSignal(int number) {
#ifdef _WIN32
  std::signal(number, OnSignal);  // Windows resets the handler on each signal
#endif
  if (signal_number == 0) signal_number = number;
  interrupted.store(true, std::memory_order_relaxed);
}

}  // namespace

void CatchInterruptions() {
#ifdef _WIN32
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
#else
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
#endif
}

const std::atomic<bool>& InterruptionFlag() { return interrupted; }

int InterruptedExitStatus() { return signal_number == 0 ? 0 : 128 + signal_number; }
