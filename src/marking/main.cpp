#include <cstdio>

#include "marking/marking.h"

int main() {
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
    fputs("Q: option  ", stdout);

    const char key = menuKey();
    if (key == 'Q') return 0;
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
