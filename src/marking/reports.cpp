// The reports: the score list with its pause, the frequency table, the
// chart of the grade counts and the histogram picture.
#include <cstdio>

#include "keyboard/keyboard.h"
#include "marking/marking.h"

void displayScore() {
  puts("ST\tChi\tEng\tMath\tTotal\tAvg");
  for (int i = 0; i < kStudents; ++i) {
    printf("%02i:", i + 1);
    for (int j = 0; j < kSubjects; ++j) printf("\t%2d", score[i][j]);
    printf("\t%3d\t%4.1f (%c)\n", studTL[i], average_of(studTL[i]), 'A' + grade_index(studTL[i]));
  }
  putchar('\n');
  wait_for_key();
}

void freqTables() {
  puts("----------------------------------------------------");
  puts("|   Grade   |    Range     |       Frequency       |");
  puts("|-----------|--------------|-----------------------|");
  for (int g = 0; g < kGrades; ++g) {
    printf("|     %c     |   %s   |          %3i          |\n", 'A' + g, kGradeBands[g].range,
           gradeTL[g]);
  }
  puts("|--------------------------|-----------------------|");
  // The class always has five students; the rows add up to it only after an input.
  printf("|                 Total    |          %3d          |\n", kStudents);
  puts("----------------------------------------------------\n");
}

void statistics() {
  puts("Grade\tFrequency   ");
  for (int g = 0; g < kGrades; ++g) {
    printf("%c\t", 'A' + g);
    for (int n = 0; n < gradeTL[g]; ++n) putchar('*');
    putchar('\n');
  }
  putchar('\n');
}

void histogram() {
  static const char* const picture[] = {
      "| Frequency",
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
      "|        |   A    B    C    D    E  (Grade) ",
  };
  for (const char* line : picture) puts(line);
}
