// The late-reply filter on the bytes as reads deliver them, the replies cut
// at every byte.
#include "terminal/late_replies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool position(std::string_view key) { return key.size() > 2 && key.back() == 'R'; }
bool attributes(std::string_view key) { return key.size() > 3 && key[2] == '?'; }

// What is left queued after each read is added and filtered, at time 0.
std::string left_after(const std::vector<std::string>& reads, LateReplies owed) {
  std::string queue;
  for (const std::string& read : reads) {
    const size_t read_from = queue.size();
    queue += read;
    queue.resize(owed.drop(queue.data(), queue.size(), read_from, 0));
  }
  return queue;
}

TEST(LateReplies, AreDroppedOnceWhereverTheReadsCutThem) {
  LateReplies both, expired;
  both.owe(position, 3000);
  both.owe(attributes, 3000);
  expired.owe(position, -1);
  struct Case {
    const char* name;
    std::string typed;  // cut into two reads at every byte
    LateReplies owed;
    std::string left;
  };
  const Case cases[] = {
      {"both replies, keys around them", "ab\x1b[24;80R\x1b[?6ccd", both, "abcd"},
      {"each reply once", "\x1b[24;80R\x1b[2;3R\x1b[?6c\x1b[?6c", both, "\x1b[2;3R\x1b[?6c"},
      {"no longer owed", "a\x1b[24;80R", expired, "a\x1b[24;80R"},
      {"Escape typed just before a reply", "\x1b\x1b[24;80R", both, "\x1b"},
  };
  for (const Case& c : cases) {
    for (size_t cut = 0; cut <= c.typed.size(); ++cut) {
      SCOPED_TRACE(std::string(c.name) + ", cut at " + std::to_string(cut));
      EXPECT_EQ(left_after({c.typed.substr(0, cut), c.typed.substr(cut)}, c.owed), c.left);
    }
  }
}

}  // namespace
