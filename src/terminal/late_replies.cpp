// Replies that came after their query gave up, dropped: see late_replies.h.
#include "terminal/late_replies.h"

#include <cstring>

#include "terminal/key_decoder.h"

void LateReplies::owe(ReplyShape shape, long long until_ms) {
  for (size_t i = 0; i < count_; ++i)
    if (owed_[i].shape == shape) {
      owed_[i].until_ms = until_ms;
      return;
    }
  if (count_ < kMostOwed) owed_[count_++] = {shape, until_ms};
}

size_t LateReplies::owed(std::string_view key) const {
  size_t reply = 0;
  while (reply < count_ && !owed_[reply].shape(key)) ++reply;
  return reply;
}

size_t LateReplies::drop(char* bytes, size_t size, size_t read_from, long long now_ms) {
  for (size_t i = 0; i < count_;) {  // those no longer owed
    if (owed_[i].until_ms < now_ms)
      owed_[i] = owed_[--count_];
    else
      ++i;
  }
  for (size_t at = 0; count_ > 0 && at < size;) {
    const size_t length = key_length(bytes + at, size - at, false);
    if (length == 0) break;  // the rest of a key is still to come
    const std::string_view key(bytes + at, length);
    if (at + length <= read_from) {  // read already
      at += length;
      continue;
    }
    // An Escape typed just as the reply came: Escape, then the reply.
    if (length > 2 && key[0] == '\x1b' && key[1] == '\x1b' &&
        owed(std::string_view(key.data() + 1, key.size() - 1)) < count_) {
      ++at;
      continue;
    }
    const size_t reply = owed(key);
    if (reply == count_) {
      at += length;
      continue;
    }
    memmove(bytes + at, bytes + at + length, size - at - length);
    size -= length;
    owed_[reply] = owed_[--count_];
    // What follows a reply that the new bytes completed is new too.
    if (read_from > at) read_from = at;
  }
  return size;
}
