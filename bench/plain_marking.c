/* The same menu loop written the plain C stdio way, scripted input only: the
 * yardstick for the benchmark. Keys come from getchar, marks from the line
 * last read with getline, and output is left to stdio's own buffering. For
 * the benchmark's sessions its output is byte for byte the program's. */
#define _POSIX_C_SOURCE 200809L
#include <ctype.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int score[5][3], studTL[5], gradeTL[5];
static char* line;
static size_t line_cap, line_pos;
static ssize_t line_len;

static int menu_key(void) {
  line_pos = line_len > 0 ? (size_t)line_len : 0; /* discard the held line */
  int c = getchar();
  if (c != EOF) putchar(c);
  puts("\n");
  return c == EOF ? 'Q' : toupper(c);
}

static void read_mark(int* mark) {
  for (;;) {
    while (line_len > 0 && line_pos < (size_t)line_len && isspace((unsigned char)line[line_pos]))
      ++line_pos;
    if (line_len > 0 && line_pos < (size_t)line_len) break;
    line_len = getline(&line, &line_cap, stdin);
    line_pos = 0;
    if (line_len <= 0) return;
  }
  char* end;
  long value = strtol(line + line_pos, &end, 10);
  if (end == line + line_pos) return;
  line_pos = (size_t)(end - line);
  *mark = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : (int)value;
}

static int grade(int total) {
  float avg = (float)(total / 3.0);
  return avg > 85 ? 0 : avg > 69 ? 1 : avg > 49 ? 2 : avg > 29 ? 3 : 4;
}

static void cal_totals(void) {
  memset(gradeTL, 0, sizeof gradeTL);
  for (int i = 0; i < 5; ++i) {
    long long sum = (long long)score[i][0] + score[i][1] + score[i][2];
    studTL[i] = sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : (int)sum;
  }
  for (int i = 0; i < 5; ++i) gradeTL[grade(studTL[i])]++;
}

static void displayScore(void) {
  puts("ST\tChi\tEng\tMath\tTotal\tAvg");
  for (int i = 0; i < 5; ++i) {
    printf("%02i:", i + 1);
    for (int j = 0; j < 3; ++j) printf("\t%2d", score[i][j]);
    printf("\t%3d\t%4.1f (%c)\n", studTL[i], studTL[i] / 3.0, 'A' + grade(studTL[i]));
  }
  putchar('\n');
  fputs("Press any key to continue . . . ", stdout);
  getchar();
  putchar('\n');
}

static void scoreFromFile(void) {
  FILE* fp = fopen("scores.txt", "r");
  if (!fp) return;
  char buf[100];
  for (int row = 0; row < 5 && !feof(fp); ++row) {
    if (!fgets(buf, 23, fp) || feof(fp)) break;
    int got = fscanf(fp, "%i%i%i", &score[row][0], &score[row][1], &score[row][2]);
    (void)got; /* a mark that fails keeps its value */
    if (!fgets(buf, sizeof buf, fp)) break;
  }
  fclose(fp);
}

static void inputMenu(void) {
  puts("\t<< Input Scores >>  ");
  puts("\t(r) random scores   ");
  puts("\t(k) from keyboard   ");
  puts("\t(f) from file       ");
  puts("\t(q) quit/exit       ");
  fputs("\tQ: option  ", stdout);
  int key = menu_key();
  if (key == 'Q') return;
  if (key == 'R') {
    srand((unsigned)time(NULL));
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 3; ++j) score[i][j] = 30 + rand() % 70;
  } else if (key == 'K') {
    puts("\nQ: Enter scores(Chi,Eng,Math)");
    for (int i = 1; i <= 5; ++i) {
      printf("\tStudent%02i:\t", i);
      for (int j = 0; j < 3; ++j) read_mark(&score[i - 1][j]);
    }
  } else if (key == 'F') {
    scoreFromFile();
  }
  cal_totals();
  displayScore();
}

static const char* const ranges[5] = {"86 - 100", "70 -  85", "50 -  69", "30 -  49", "00 -  29"};

int main(void) {
  for (;;) {
    puts("<< Marking System >> ");
    puts("(1) input scores     ");
    puts("\t(r) random scores   ");
    puts("\t(k) from keyboard   ");
    puts("\t(f) from file       ");
    puts("(2) score list       ");
    puts("(3) frequency table  ");
    puts("(4) statistics       ");
    puts("(5) histogram        ");
    puts("(Q) quit             ");
    fputs("Q: option  ", stdout);
    int key = menu_key();
    if (key == 'Q') break;
    if (key == '1') inputMenu();
    if (key == '2') displayScore();
    if (key == '3') {
      puts("----------------------------------------------------");
      puts("|   Grade   |    Range     |       Frequency       |");
      puts("|-----------|--------------|-----------------------|");
      for (int g = 0; g < 5; ++g)
        printf("|     %c     |   %s   |          %3i          |\n", 'A' + g, ranges[g], gradeTL[g]);
      puts("|--------------------------|-----------------------|");
      printf("|                 Total    |          %3d          |\n", 5);
      puts("----------------------------------------------------\n");
    }
    if (key == '4') {
      puts("Grade\tFrequency   ");
      for (int g = 0; g < 5; ++g) {
        printf("%c\t", 'A' + g);
        for (int n = 0; n < gradeTL[g]; ++n) putchar('*');
        putchar('\n');
      }
      putchar('\n');
    }
    if (key == '5') {
      static const char* const picture[] = {"| Frequency",
                                            "|          ",
                                            "|     15 -             *",
                                            "|        |             *",
                                            "|        |             *",
                                            "|        |             *",
                                            "|        |             *",
                                            "|     10 -             *",
                                            "|        |             *",
                                            "|        |             *",
                                            "|        |        *    *",
                                            "|        |        *    *",
                                            "|      5 -        *    *    *",
                                            "|        |        *    *    *",
                                            "|        |   *    *    *    *",
                                            "|        |   *    *    *    *",
                                            "|        |   *    *    *    *    *          ",
                                            "|      --|----------------------------------",
                                            "|        |   A    B    C    D    E  (Grade) "};
      for (int n = 0; n < 19; ++n) puts(picture[n]);
    }
  }
  free(line);
  return 0;
}
