// Moves the cursor, reads it back, and reports on standard error: "7 3",
// then the column as C code reads it.
#include <marking-system/console.h>

#include <cstdio>

extern "C" int column_from_c(void);

int main() {
  gotoxy(7, 3);
  int x = -1, y = -1;
  getxy(&x, &y);
  fprintf(stderr, "%d %d %d\n", x, y, column_from_c());
  return 0;
}
