// The terminal layer's one lock: every function of the layer is called
// holding it, so that threads take turns with the terminal (a position
// query gets its own reply, sequences are not mixed). A wait for input lets
// it go meanwhile (terminal/input.h). A fork is made holding it, so that a
// child starts with the layer in order and the lock free.
#pragma once

class TerminalLock {
 public:
  TerminalLock();
  ~TerminalLock();
  TerminalLock(const TerminalLock&) = delete;
  TerminalLock& operator=(const TerminalLock&) = delete;

  // For a wait that lets the lock go, and takes it again after.
  static void unlock();
  static void relock();
};
