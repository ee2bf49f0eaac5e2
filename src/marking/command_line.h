// What the program does besides its menus, as a command-line tool: its
// arguments, and its exit status when standard input could not be read or
// standard output written.
#pragma once

constexpr int kGoOn = -1;

// Holds standard output in a buffer of its own until a read, the pause or the
// end flushes it, on every platform alike (the Windows runtime would write
// each line at once): a write that fails then fails at a flush with its reason
// known. Called before anything is written.
void hold_output();

// --help and --version are answered here; any other argument is refused.
// Returns kGoOn when there are none, else the exit status to end with.
int take_arguments(int argc, char** argv);

// Ends standard output: 0, or 1 after saying on standard error that writing
// it failed (a full disk, a closed descriptor).
int output_status();

// Ends the program: output_status, and 1 after saying on standard error why
// standard input could not be read (a closed descriptor, say), if it could not.
int exit_status();
