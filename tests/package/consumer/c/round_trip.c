/* Moves the cursor and reads it back, as round_trip.cpp does, from C; then
   reports on standard error "7 3 7" and the key waiting, if any. */
#include <marking-system/console.h>
#include <stdio.h>

int main(void) {
  int x = -1, y = -1;
  gotoxy(7, 3);
  getxy(&x, &y);
  fprintf(stderr, "%d %d %d\n", x, y, whereX());
  normvideo();
  return 0;
}
