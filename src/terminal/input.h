// The terminal's input: the one queue of the bytes read from it, waiting for
// them, and reading a key. Each reader takes what is its own from the front
// (a key, a line of marks) or where it found it (a reply to a query), so
// every byte typed is read once and in order, whichever read comes next.
//
// Every function here is called holding the terminal's turn (terminal/turn.h).
// A wait for a key lets the turn go while it waits, so that other threads can
// draw meanwhile; a query's short wait (terminal_fill) keeps it, so that the
// reply reaches the query, and what was typed during it stays queued, in
// order, for the next key. A forked child starts with an empty queue.
#pragma once

#include <cstddef>
#include <string_view>

#include "terminal/late_replies.h"
#include "terminal/turn.h"
// How long the rest of a key that has begun may take to come: as long as
// terminal multiplexers wait (tmux: 500 ms), so that a function key split
// over a slow link (ssh) stays one key. A lone Escape costs that wait.
constexpr int kKeyGapMs = 500;

// Reads what the terminal has sent onto the end of the queue, waiting at most
// timeout_ms for it, the turn kept. Returns the count read; 0 when the time
// ran out; -1 at the end of input (a hang-up) or on an error, which holds
// from then on.
long terminal_fill(int timeout_ms);
int terminal_read_error();           // the errno of the read that failed; 0 when input only ended
std::string_view terminal_queued();  // read, not yet taken
void terminal_take(size_t count);    // from the front
void terminal_remove(size_t offset, size_t count);  // bytes that were not typed input
// Throws away what is queued and what the terminal holds, not yet read.
void terminal_discard();

// Waits for the whole key at the front of the queue, reading as needed and
// letting the turn go meanwhile, and returns its length (key_length's); 0 at
// the end of input.
size_t terminal_next_key();
// The same for a key read on its own, as a menu reads it: in key mode a
// one-byte key is mapped in place as the terminal's settings map it (Enter a
// line feed under ICRNL; a CR dropped under IGNCR), and echoed when asked.
size_t terminal_read_key(bool echo);

// A reply the terminal still owes to a query that stopped waiting for it: a
// key of that shape arriving within a few seconds is dropped, not read as typed.
void terminal_owe_reply(ReplyShape shape);

// read(2) of any descriptor, waiting as a blocking read would: through
// signals, and on a descriptor an earlier program left non-blocking.
long read_waiting(int fd, char* buffer, size_t size);
