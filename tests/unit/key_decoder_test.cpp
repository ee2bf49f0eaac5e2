// key_length, fed byte by byte as a terminal might deliver the bytes, with a
// gap after each burst of bytes that arrive together.
#include "terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Keys = std::vector<std::string>;

// Byte by byte, the way a slow terminal delivers them, and a burst at a time,
// the way a read gets them: both must give the same keys.
Keys split_into_keys(const std::vector<std::string>& bursts, bool byte_by_byte) {
  Keys keys;
  std::string queued;
  auto take_keys = [&](bool gap_passed) {
    while (size_t length = key_length(queued.data(), queued.size(), gap_passed)) {
      keys.push_back(queued.substr(0, length));
      queued.erase(0, length);
    }
  };
  for (const std::string& burst : bursts) {
    for (size_t at = 0; at < burst.size(); at += byte_by_byte ? 1 : burst.size()) {
      queued += burst.substr(at, byte_by_byte ? 1 : std::string::npos);
      take_keys(false);
    }
    take_keys(true);
  }
  EXPECT_EQ(queued, "") << "bytes left over after the gap";
  return keys;
}

TEST(KeyDecoder, SplitsBytesIntoKeyPresses) {
  struct Case {
    const char* name;
    std::vector<std::string> bursts;
    Keys keys;
  };
  const std::string long_sequence = "\x1b[" + std::string(40, '1') + ";2m";
  const Case cases[] = {
      {"plain keys", {"12q\n"}, {"1", "2", "q", "\n"}},
      {"control byte", {"\x07\x7f"}, {"\x07", "\x7f"}},
      {"arrow", {"\x1b[A"}, {"\x1b[A"}},
      {"key right after a control sequence", {"\x1b[23@2"}, {"\x1b[23@", "2"}},
      {"F5 with modifiers", {"\x1b[15;5~q"}, {"\x1b[15;5~", "q"}},
      {"SS3 F1, then a key in the same read", {"\x1bOPx"}, {"\x1bOP", "x"}},
      {"Linux console F1, then a key in the same read", {"\x1b[[A1"}, {"\x1b[[A", "1"}},
      {"longer than 32 bytes", {long_sequence + "q"}, {long_sequence, "q"}},
      {"OSC ended by BEL",
       {"\x1b]11;rgb:0/0/0\x07"
        "2"},
       {"\x1b]11;rgb:0/0/0\x07", "2"}},
      {"DCS ended by ST", {"\x1bP1$r0m\x1b\\2"}, {"\x1bP1$r0m\x1b\\", "2"}},
      {"unended OSC, then the gap", {"\x1b]0;title", "q"}, {"\x1b]0;title", "q"}},
      {"Escape alone, then the gap", {"\x1b", "2"}, {"\x1b", "2"}},
      {"urxvt's Alt+Up", {"\x1b\x1b[A2"}, {"\x1b\x1b[A", "2"}},
      {"Escape, then Alt with a key", {"\x1b\x1bx"}, {"\x1b", "\x1bx"}},
      {"SS3 with a modifier", {"\x1bO2P2"}, {"\x1bO2P", "2"}},
      {"Alt with a key", {"\x1bx2"}, {"\x1bx", "2"}},
      {"Alt with a UTF-8 character", {"\x1b\xc3\xa9"}, {"\x1b\xc3\xa9"}},
      {"sequence cut by a control byte", {"\x1b[1\x03"}, {"\x1b[1", "\x03"}},
      {"sequence cut short by the gap", {"\x1b[1;", "5"}, {"\x1b[1;", "5"}},
      {"UTF-8 characters",
       {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
       {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}},
      {"lone lead byte",
       {"\xc3"
        "2"},
       {"\xc3", "2"}},
      {"lead byte cut short by the gap", {"\xe2\x82", "2"}, {"\xe2\x82", "2"}},
      {"stray continuation byte",
       {"\x80"
        "2"},
       {"\x80", "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(split_into_keys(c.bursts, true), c.keys);
    EXPECT_EQ(split_into_keys(c.bursts, false), c.keys);
  }
}

}  // namespace
