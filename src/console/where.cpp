// The cursor's column and row, each asked of the console through getxy.
#include "console/console.h"

int whereX(void) {
  int x, y;
  getxy(&x, &y);
  return x;
}

int whereY(void) {
  int x, y;
  getxy(&x, &y);
  return y;
}
