// The marking system: the score book of five students in three subjects,
// the input sources that fill it, and the reports that print it.
#pragma once

constexpr int kStudents = 5;
constexpr int kSubjects = 3;  // Chi, Eng, Math, in this order
constexpr int kGrades = 5;    // A to E

// The score book. Zero at start-up; marks are written by the input sources,
// totals and grade counts only by cal_totals.
extern int score[kStudents][kSubjects];
extern int studTL[kStudents];  // each student's total
extern int gradeTL[kGrades];   // students per grade, A to E

void cal_totals();

// The grades A to E, as bands of the average of a student's marks: a grade's
// average lies strictly above `above` (the last takes every average left),
// and the frequency table labels it with `range`.
struct GradeBand {
  int above;
  const char* range;
};
extern const GradeBand kGradeBands[kGrades];
double average_of(int total);  // the total over the subjects
int grade_index(int total);    // 0 to 4 for A to E, from the average of a total

// Input submenu and its three sources.
void inputMenu();
void random_scores();
void input_score();
void scoreFromFile();

// Reports.
void displayScore();
void freqTables();
void statistics();
void histogram();

// Shared by both menus: the submenu's three choices, which the main menu previews.
extern const char* const inputChoices[3];

// Writes the prompt, discards held line input, reads one key (echoed), writes
// two line feeds and returns the key in upper case. The end of input reads as Q.
char menuKey(const char* prompt);
