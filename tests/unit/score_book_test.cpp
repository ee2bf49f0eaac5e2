#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "marking/marking.h"

namespace {

struct Case {
  int marks[3];
  int total;
  char grade;
};

class ScoreBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& row : score)
      for (int& mark : row) mark = 0;
  }
};

TEST_F(ScoreBookTest, GradesByStrictTestsOnTheAverage) {
  const Case cases[] = {
      {{86, 85, 85}, 256, 'A'},
      {{85, 85, 85}, 255, 'B'},
      {{70, 69, 69}, 208, 'B'},
      {{69, 69, 69}, 207, 'C'},
      {{50, 49, 49}, 148, 'C'},
      {{49, 49, 49}, 147, 'D'},
      {{30, 29, 29}, 88, 'D'},
      {{29, 29, 29}, 87, 'E'},
      {{0, 0, 0}, 0, 'E'},
      {{-5, 1, 1}, -3, 'E'},
      {{500, 0, 0}, 500, 'A'},
      {{100, 100, 100}, 300, 'A'},
      {{INT_MAX, INT_MAX, 5}, INT_MAX, 'A'},  // held at the top instead of wrapping
      {{INT_MIN, -1, 0}, INT_MIN, 'E'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    for (int j = 0; j < kSubjects; ++j) score[0][j] = c.marks[j];
    cal_totals();
    EXPECT_EQ(studTL[0], c.total);
    std::vector<int> expected = {0, 0, 0, 0, 4};  // the other four students have 0: E
    ++expected[c.grade - 'A'];
    EXPECT_EQ(std::vector<int>(gradeTL, gradeTL + kGrades), expected);
  }
}

TEST_F(ScoreBookTest, CountsAddUpToTheClassAndAreRecomputedFromScratch) {
  const int totals[kStudents] = {300, 210, 150, 90, 3};
  for (int i = 0; i < kStudents; ++i) score[i][0] = totals[i];
  cal_totals();
  cal_totals();  // a second call must not add to the first
  for (int i = 0; i < kStudents; ++i) EXPECT_EQ(studTL[i], totals[i]);
  for (int g = 0; g < kGrades; ++g) EXPECT_EQ(gradeTL[g], 1) << "grade " << g;
}

}  // namespace
