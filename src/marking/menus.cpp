// The menus' shared key read, and the input submenu with its three sources.
#include <cctype>
#include <cstdio>

#include "keyboard/keyboard.h"
#include "marking/marking.h"

const char* const inputChoices[3] = {
    "\t(r) random scores   ",
    "\t(k) from keyboard   ",
    "\t(f) from file       ",
};

char menuKey(const char* prompt) {
  fputs(prompt, stdout);
  // Whatever an earlier keyboard entry left on the line is thrown away here,
  // so the next entry starts afresh.
  discard_input();
  const int key = read_key(prompt);
  puts("\n");
  return key == EOF ? 'Q' : static_cast<char>(toupper(key));
}

void inputMenu() {
  puts("\t<< Input Scores >>  ");
  for (const char* choice : inputChoices) puts(choice);
  puts("\t(q) quit/exit       ");

  const char key = menuKey("\tQ: option  ");
  if (key == 'Q') return;
  switch (key) {
    case 'R': random_scores(); break;
    case 'K': input_score(); break;
    case 'F': scoreFromFile(); break;
    default: break;  // an unlisted key still recomputes and lists the book
  }
  cal_totals();
  displayScore();
}
