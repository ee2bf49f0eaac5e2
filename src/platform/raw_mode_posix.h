// Key mode for a terminal: no line editing and no echo, so one key can be read
// as soon as it is pressed. Ctrl-C and Ctrl-Z keep working.
//
// This is the only place that changes terminal settings. The settings found
// when key mode was switched on come back on every way out: raw_mode_off, exit,
// and SIGINT, SIGQUIT, SIGTERM and SIGHUP (the signal then ends the program as
// it would have). On Ctrl-Z the settings are restored before the program stops,
// and key mode is set again when it continues.
#pragma once

bool raw_mode_on(int fd);  // false when fd is not a terminal
void raw_mode_off();
