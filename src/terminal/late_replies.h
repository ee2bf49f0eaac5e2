// Replies to a query that came after the query stopped waiting for them: told
// by their shape among the keys just read, and dropped, so that they are not
// read as typed keys. Pure: it only looks at the bytes and the clock it is
// given, so it is tested by a table without a terminal.
#pragma once

#include <cstddef>
#include <string_view>

// Whether a whole key has the shape of one reply.
using ReplyShape = bool (*)(std::string_view key);

class LateReplies {
 public:
  // A reply of this shape is still owed, until `until_ms`.
  void owe(ReplyShape shape, long long until_ms);

  // Drops each owed reply among the keys of bytes[0, size) that the bytes
  // from `read_from` on complete (the keys before were read already, and a
  // reader may hold a place among them); each reply is dropped once. An
  // Escape typed just as a reply came (ESC, then the reply) stays.
  // Returns the size left. A key cut short at `size` waits for the next read.
  size_t drop(char* bytes, size_t size, size_t read_from, long long now_ms);

 private:
  size_t owed(std::string_view key) const;  // which reply it is; count_ if none

  struct Owed {
    ReplyShape shape;
    long long until_ms;
  };
  static constexpr size_t kMostOwed = 4;
  Owed owed_[kMostOwed] = {};
  size_t count_ = 0;
};
