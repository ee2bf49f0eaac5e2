// Waiting for a descriptor, with a time limit, and reading one as a blocking
// read would. poll, which takes any descriptor; select where poll refuses
// terminals (macOS). The waits are safe in a signal handler.
#pragma once

#include <cstddef>

constexpr int kWaitForever = -1;

enum class Ready {
  kTimedOut,
  kReady,  // fd can be read (or written), or has hung up
  kWoken,  // `wake` can be read
  kFailed,
};

// Waits until fd can be read, or written with `for_writing`, or until `wake`
// (unless it is -1) can be read: at most timeout_ms, or kWaitForever.
// Signals do not end it.
Ready wait_ready(int fd, bool for_writing, int wake, int timeout_ms);

// read(2) of any descriptor, waiting as a blocking read would: through
// signals, and on a descriptor an earlier program left non-blocking.
long read_waiting(int fd, char* buffer, size_t size);

// Milliseconds on a clock that only goes forward, and those left until a
// time on it: 0 once it has passed.
long long monotonic_ms();
int ms_until(long long deadline_ms);
