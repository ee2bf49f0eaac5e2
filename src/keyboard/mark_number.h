// A mark's digits added up as scanf adds them, but held at the nearest 32-bit
// value instead of overflowing: marks from the keyboard ("%d") and from
// scores.txt ("%i") alike.
#pragma once

#include <climits>

constexpr long long kMostMagnitude = INT_MAX + 1LL;  // enough to hold either sign

inline long long add_digit(long long magnitude, int digit, int base) {
  const long long sum = magnitude * base + digit;
  return sum < kMostMagnitude ? sum : kMostMagnitude;
}

inline int mark_of(long long magnitude, bool negative) {
  if (negative) return static_cast<int>(-magnitude);
  return static_cast<int>(magnitude > INT_MAX ? INT_MAX : magnitude);
}
