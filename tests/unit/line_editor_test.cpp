// The line editor, fed keys as the key decoder splits them. Each row checks the
// lines handed over and that the screen, after all the echo, shows exactly
// what typing only those lines would have shown.
#include "terminal/line_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "terminal/key_decoder.h"

namespace {

using Result = LineEditor::Result;

// A terminal's screen, as far as echoes move on it: rows of cells, a UTF-8
// character in one cell, tab stops every 8 columns.
std::vector<std::string> screen_of(const std::string& output) {
  std::vector<std::vector<std::string>> rows(1);
  size_t column = 0;
  for (const char byte : output) {
    std::vector<std::string>& row = rows.back();
    if (byte == '\n') {
      rows.emplace_back();
      column = 0;
    } else if (byte == '\b') {
      if (column > 0) --column;
    } else if (byte == '\t') {
      column = (column / 8 + 1) * 8;
    } else if (byte == '\a') {
    } else if ((static_cast<unsigned char>(byte) & 0xc0) == 0x80 && column > 0) {
      row[column - 1] += byte;
    } else {
      if (row.size() <= column) row.resize(column + 1, " ");
      row[column++] = std::string(1, byte);
    }
  }
  std::vector<std::string> shown;
  for (const auto& row : rows) {
    std::string text;
    for (const std::string& cell : row) text += cell;
    shown.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
  }
  return shown;
}

EditingKeys disabled_erase_and_eof() {
  EditingKeys keys;
  keys.erase = keys.end_of_file = -1;
  return keys;
}

TEST(LineEditor, EditsWithTheTerminalsKeys) {
  struct Case {
    const char* name;
    std::string typed;
    std::vector<Result> results;  // each one that is not kEditing
    std::string lines;            // what was handed over, each piece ended by |
    EditingKeys keys = {};
  };
  const std::string sevens(5000, '7');
  const std::string erase = "\x7f", kill = "\x15", word = "\x17", literal = "\x16", end = "\x04";
  const Case cases[] = {
      {"Enter ends the line", "85 90 77\n", {Result::kDone}, "85 90 77\n|"},
      {"erase an ASCII byte", "86" + erase + "5\n", {Result::kDone}, "85\n|"},
      {"erase a caret pair", "1\x07" + erase + "\n", {Result::kDone}, "1\n|"},
      {"erase a 2-byte character", "1\xc3\xa9" + erase + "\n", {Result::kDone}, "1\n|"},
      {"erase a 3-byte character", "1\xe2\x82\xac" + erase + "\n", {Result::kDone}, "1\n|"},
      {"erase a tab", "1\t" + erase + "2\n", {Result::kDone}, "12\n|"},
      {"erase a tab after a caret pair and a character",
       "\x01\xc3\xa9xyz\t" + erase + "!\n",
       {Result::kDone},
       "\x01\xc3\xa9xyz!\n|"},
      {"erase at the start of the line", erase + erase + "5\n", {Result::kDone}, "5\n|"},
      {"kill", "9 9\t9" + kill + "85\n", {Result::kDone}, "85\n|"},
      {"word erase with spaces before the word",
       "85 90  " + word + "77\n",
       {Result::kDone},
       "85 77\n|"},
      {"word erase stops at punctuation", "85,90" + word + word + "\n", {Result::kDone}, "\n|"},
      {"literal next",
       literal + erase + literal + end + literal + kill + "\n",
       {Result::kDone},
       "\x7f\x04\x15\n|"},
      {"an arrow and a function key are ignored", "8\x1b[A\x1bOP5\n", {Result::kDone}, "85\n|"},
      {"Ctrl-D at the start ends the input", end, {Result::kEnd}, ""},
      {"Ctrl-D in the middle hands over what is typed",
       "8\t5" + end + erase + erase + "6\n",
       {Result::kDone, Result::kDone},
       "8\t5|6\n|"},
      {"disabled erase and end of file are typed",
       "8" + erase + end + "\n",
       {Result::kDone},
       "8\x7f\x04\n|",
       disabled_erase_and_eof()},
      {"a line holds 4095 bytes",
       sevens + erase + "5\n",
       {Result::kDone},
       sevens.substr(0, 4094) + "5\n|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineEditor editor(c.keys);
    std::string echo, lines;
    std::vector<Result> results;
    size_t at = 0;
    while (at < c.typed.size()) {
      const size_t length = key_length(c.typed.data() + at, c.typed.size() - at, true);
      const Result result = editor.key(std::string_view(c.typed).substr(at, length), &echo);
      at += length;
      if (result == Result::kEditing) continue;
      results.push_back(result);
      if (result == Result::kDone) lines += editor.take() + "|";
    }
    const std::string unfinished = editor.take();
    if (!unfinished.empty()) lines += unfinished + "|";
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(lines, c.lines);
    std::string held = lines;
    held.erase(std::remove(held.begin(), held.end(), '|'), held.end());
    EXPECT_EQ(screen_of(echo), screen_of(caret_notation(held))) << echo;
  }
}

}  // namespace
