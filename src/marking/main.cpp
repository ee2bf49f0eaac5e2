// The entry point: the main menu, until Q.
#include <cstdio>

#include "keyboard/keyboard.h"
#include "marking/command_line.h"
#include "marking/marking.h"

int main(int argc, char** argv) {
  hold_output();
  if (const int status = take_arguments(argc, argv); status != kGoOn) return status;
  open_console();
  for (;;) {
    puts("<< Marking System >> ");
    puts("(1) input scores     ");
    // A preview of the submenu: R, K and F do nothing here.
    for (const char* choice : inputChoices) puts(choice);
    puts("(2) score list       ");
    puts("(3) frequency table  ");
    puts("(4) statistics       ");
    puts("(5) histogram        ");
    puts("(Q) quit             ");

    const char key = menuKey("Q: option  ");
    if (key == 'Q') return exit_status();
    switch (key) {
      case '1': inputMenu(); break;
      case '2': displayScore(); break;
      case '3': freqTables(); break;
      case '4': statistics(); break;
      case '5': histogram(); break;
      default: break;
    }
  }
}
