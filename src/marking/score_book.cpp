// The score book, and grading each student from the average of the marks.
#include <climits>

#include "marking/marking.h"

int score[kStudents][kSubjects];
int studTL[kStudents];
int gradeTL[kGrades];

namespace {

// Totals are summed in 64 bits and held at the nearest 32-bit value, so an
// extreme entry grades as very high or very low instead of wrapping around.
int saturated_sum(const int (&marks)[kSubjects]) {
  long long sum = 0;
  for (int mark : marks) sum += mark;
  if (sum > INT_MAX) return INT_MAX;
  if (sum < INT_MIN) return INT_MIN;
  return static_cast<int>(sum);
}

}  // namespace

const GradeBand kGradeBands[kGrades] = {
    {85, "86 - 100"}, {69, "70 -  85"}, {49, "50 -  69"}, {29, "30 -  49"}, {INT_MIN, "00 -  29"},
};

double average_of(int total) { return total / static_cast<double>(kSubjects); }

// The grade bands are strict tests on the average, held in single precision,
// so an average of exactly 85 is a B while 85.33 is an A.
int grade_index(int total) {
  const auto average = static_cast<float>(average_of(total));
  int grade = 0;
  while (grade < kGrades - 1 && !(average > static_cast<float>(kGradeBands[grade].above))) ++grade;
  return grade;
}

void cal_totals() {
  for (int& count : gradeTL) count = 0;
  for (int i = 0; i < kStudents; ++i) studTL[i] = saturated_sum(score[i]);
  for (int total : studTL) ++gradeTL[grade_index(total)];
}
