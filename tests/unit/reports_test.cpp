#include <gtest/gtest.h>

#include <string>

#include "marking/marking.h"

namespace {

// Counts that only a hand-set book can have: a wide count widens its field
// instead of being cut, and a count below zero draws no asterisks.
TEST(ReportsTest, CountsOutsideTheUsualRangeArePrintedWhole) {
  const int counts[kGrades] = {1234, 5, 0, -2, 100};
  for (int g = 0; g < kGrades; ++g) gradeTL[g] = counts[g];

  testing::internal::CaptureStdout();
  freqTables();
  statistics();
  fflush(stdout);
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_NE(out.find("|     A     |   86 - 100   |          1234          |\n"), std::string::npos);
  EXPECT_NE(out.find("|     E     |   00 -  29   |          100          |\n"), std::string::npos);
  EXPECT_NE(out.find("|     D     |   30 -  49   |           -2          |\n"), std::string::npos);
  EXPECT_NE(out.find("A\t" + std::string(1234, '*') + "\n"), std::string::npos);
  EXPECT_NE(out.find("B\t*****\nC\t\nD\t\nE\t"), std::string::npos);
  for (int& count : gradeTL) count = 0;
}

}  // namespace
