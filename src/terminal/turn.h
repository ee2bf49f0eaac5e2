// Taking turns with the terminal, and waiting for it. One lock (the turn)
// guards the terminal layer: every function of it is called holding the
// turn. A reader waiting for a key lets it go, so that other threads can draw
// meanwhile; it is woken when another thread leaves keys queued, and when the
// program is continued after a stop.
#pragma once

// Holds the turn for as long as it lives. A forked child starts with the
// turn free and no reader waiting.
class TerminalTurn {
 public:
  TerminalTurn();
  ~TerminalTurn();
  TerminalTurn(const TerminalTurn&) = delete;
  TerminalTurn& operator=(const TerminalTurn&) = delete;
};

constexpr int kWaitForever = -1;

// Waits, keeping the turn, until fd can be read: 1 when it can, 0 when the
// time ran out, -1 on an error. select, not poll: poll refuses terminals on
// some systems (macOS).
int wait_readable(int fd, int timeout_ms);

// The same, letting the turn go meanwhile: 2 when woken instead (another
// thread left keys queued, or the program was continued), and a continue
// after a stop shows again what the reader waits at.
int wait_letting_go(int fd, int timeout_ms);

// Whether keys are queued: a turn that ends with keys queued wakes a waiting
// reader. The input's own.
bool terminal_has_queued();

// What a wait does, holding the turn, when it finds the program continued
// after a stop: the reader shows again what it is waiting at.
void terminal_when_continued(void (*show_again)());

// Milliseconds on a clock that only goes forward.
long long monotonic_ms();
