// The terminal's input: the one queue of the bytes read from it, and the
// reads that take from it. Each takes what is its own, whole: a key from the
// front, or a query's reply from among the keys typed meanwhile, so every
// byte typed is read once and in order, whichever read comes next. Nothing
// outside this part sees the queue.
//
// Every function here is called holding the terminal's lock
// (terminal/lock.h). A wait for a key lets the lock go while it waits, so
// that other threads can draw meanwhile; it is woken when another thread
// leaves keys queued, and when the program resumes after a stop. A query's
// short wait keeps it, so that the reply reaches the query, and what was
// typed during it stays queued, in order, for the next key. A forked child
// starts with an empty queue.
#pragma once

#include <cstddef>
#include <string_view>

#include "terminal/late_replies.h"
#include "terminal/wait.h"

// How long the rest of a key that has begun may take to come: as long as
// terminal multiplexers wait (tmux: 500 ms), so that a function key split
// over a slow link (ssh) stays one key. A lone Escape costs that wait.
constexpr int kKeyGapMs = 500;
void terminal_key_gap(int ms);  // another wait from now on

enum class Read {
  kKey,
  kNone,   // none came within the wait
  kEnded,  // input has ended (a hang-up), or could not be read
};

// The next whole key, waiting for it at most wait_ms (kWaitForever; 0 only
// looks), the lock let go meanwhile; with `resizes_end`, a change of the
// window's size ends the wait too (kNone). The key's bytes stay valid until
// the next call into the input.
Read terminal_read_key(int wait_ms, std::string_view* key, bool resizes_end = false);
// The same for a key typed at a prompt, waited for without end: in key mode
// a one-byte key is mapped as the terminal's settings map it (Enter a line
// feed under ICRNL; a CR dropped under IGNCR), and echoed when asked.
Read terminal_read_typed_key(std::string_view* key, bool echo);
// One byte of a typed key, as conio's getch gives an arrow, byte by byte: a
// key is read whole, and its later bytes are given by the next calls. EOF
// when input has ended.
int terminal_read_key_byte(bool echo);
// Whether a whole key is queued, so that a read would not wait.
bool terminal_key_queued();
// Whether typed bytes are waiting, after a look at the terminal.
bool terminal_key_waiting();
// Whether typed bytes are queued, or a key given part way, without a look.
bool terminal_input_pending();

int terminal_read_error();  // the errno of the read that failed; 0 when input only ended

// Throws away what is queued and what the terminal holds, not yet read.
void terminal_discard();

// A reply to a query: its shape, and the reply found.
struct Reply {
  ReplyShape shape;
  char bytes[64];
  size_t size;
};
// Writes `query` to standard output and reads the terminal's replies until
// one of the shape `last`, at most timeout_ms, the lock kept. The last key of
// each reply's shape is taken as its reply; every other key stays queued, in
// order, as typed input. Replies that did not come in time are owed: dropped
// when they come later. True when `last` came.
bool terminal_ask(std::string_view query, Reply* replies, size_t count, ReplyShape last,
                  int timeout_ms);

// What a wait does, holding the lock, when the program resumes after a stop
// in the foreground: the reader shows again what it waits at.
void terminal_on_resume_redraw(void (*show)());

// Notes each change of the window's size from now on (SIGWINCH, unless the
// program handles it itself): a wait for a key ends on it, and
// terminal_take_resize tells it, once.
void terminal_watch_resizes();
bool terminal_take_resize();
