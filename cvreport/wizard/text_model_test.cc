#include "wizard/text_model.h"

#include <gtest/gtest.h>
#include <newt.h>

#include <string>
#include <vector>

namespace cvreport {
namespace {

using Lines = std::vector<std::string>;

struct State {
  Lines lines;
  size_t row;
  size_t col;
  size_t top;
};

struct KeyCase {
  const char* name;
  State before;
  int key;
  State after;
};

constexpr int kCtrlA = 0x01;
constexpr int kCtrlD = 0x04;
constexpr int kCtrlE = 0x05;
constexpr int kCtrlK = 0x0b;
constexpr int kCtrlU = 0x15;

Lines numbered(int count) {
  Lines lines;
  for (int i = 0; i < count; ++i) lines.push_back("line " + std::to_string(i));
  return lines;
}

TEST(TextModel, EditsThatCrossLineBoundaries) {
  const Lines twelve = numbered(12);
  Lines twelveAfterJoin = twelve;
  twelveAfterJoin[1] += twelveAfterJoin[2];
  twelveAfterJoin.erase(twelveAfterJoin.begin() + 2);
  const KeyCase cases[] = {
      {"enter splits at the cursor", {{"hello world"}, 0, 5, 0}, NEWT_KEY_ENTER,
       {{"hello", " world"}, 1, 0, 0}},
      {"enter at the end opens an empty line", {{"ab", "cd"}, 0, 2, 0}, NEWT_KEY_ENTER,
       {{"ab", "", "cd"}, 1, 0, 0}},
      {"enter at the start pushes the line down", {{"ab"}, 0, 0, 0}, NEWT_KEY_ENTER,
       {{"", "ab"}, 1, 0, 0}},
      {"backspace at a line start joins it to the previous", {{"ab", "cd"}, 1, 0, 0},
       NEWT_KEY_BKSPC, {{"abcd"}, 0, 2, 0}},
      {"backspace at the very start does nothing", {{"ab", "cd"}, 0, 0, 0}, NEWT_KEY_BKSPC,
       {{"ab", "cd"}, 0, 0, 0}},
      {"delete at a line end joins the next", {{"ab", "cd", "ef"}, 0, 2, 0}, NEWT_KEY_DELETE,
       {{"abcd", "ef"}, 0, 2, 0}},
      {"ctrl-d at a line end joins the next", {{"ab", "cd"}, 0, 2, 0}, kCtrlD,
       {{"abcd"}, 0, 2, 0}},
      {"delete at the end of the last line does nothing", {{"ab"}, 0, 2, 0}, NEWT_KEY_DELETE,
       {{"ab"}, 0, 2, 0}},
      {"up keeps the column on a long enough line", {{"abcdef", "xyz"}, 1, 2, 0}, NEWT_KEY_UP,
       {{"abcdef", "xyz"}, 0, 2, 0}},
      {"up goes to the end of a shorter line", {{"ab", "wxyz"}, 1, 4, 0}, NEWT_KEY_UP,
       {{"ab", "wxyz"}, 0, 2, 0}},
      {"up on the first line stays", {{"ab", "cd"}, 0, 1, 0}, NEWT_KEY_UP,
       {{"ab", "cd"}, 0, 1, 0}},
      {"down goes to the end of a shorter line", {{"abcdef", "xy"}, 0, 5, 0}, NEWT_KEY_DOWN,
       {{"abcdef", "xy"}, 1, 2, 0}},
      {"down on the last line stays", {{"ab", "cd"}, 1, 1, 0}, NEWT_KEY_DOWN,
       {{"ab", "cd"}, 1, 1, 0}},
      {"home goes to the start of the first line", {{"ab", "cd", "ef"}, 2, 1, 0}, NEWT_KEY_HOME,
       {{"ab", "cd", "ef"}, 0, 0, 0}},
      {"ctrl-a is home", {{"ab", "cd"}, 1, 1, 0}, kCtrlA, {{"ab", "cd"}, 0, 0, 0}},
      {"end goes to the end of the last line", {{"ab", "cd", "efg"}, 0, 1, 0}, NEWT_KEY_END,
       {{"ab", "cd", "efg"}, 2, 3, 0}},
      {"ctrl-e is end", {{"ab", "cd"}, 0, 0, 0}, kCtrlE, {{"ab", "cd"}, 1, 2, 0}},
      {"ctrl-k cuts to the end of the line", {{"hello world", "x"}, 0, 5, 0}, kCtrlK,
       {{"hello", "x"}, 0, 5, 0}},
      {"ctrl-u cuts from the start of the line", {{"hello world"}, 0, 6, 0}, kCtrlU,
       {{"world"}, 0, 0, 0}},
      {"enter on the tenth line scrolls by one", {numbered(10), 9, 6, 0}, NEWT_KEY_ENTER,
       {[] {
          Lines l = numbered(10);
          l[9] = "line 9";
          l.push_back("");
          return l;
        }(),
        10, 0, 1}},
      {"down below the view shows the ten lines ending with the cursor", {twelve, 9, 0, 0},
       NEWT_KEY_DOWN, {twelve, 10, 0, 1}},
      {"up above the view moves the view up", {twelve, 2, 0, 2}, NEWT_KEY_UP,
       {twelve, 1, 0, 1}},
      {"up inside the view leaves the view", {twelve, 11, 0, 2}, NEWT_KEY_UP,
       {twelve, 10, 0, 2}},
      {"a join that shortens the text pulls the view back", {twelve, 2, 0, 2}, NEWT_KEY_BKSPC,
       {twelveAfterJoin, 1, 6, 1}},
      {"page down moves by the view's height", {twelve, 0, 3, 0}, NEWT_KEY_PGDN,
       {twelve, 10, 3, 1}},
      {"page up stops at the first line", {twelve, 5, 3, 0}, NEWT_KEY_PGUP, {twelve, 0, 3, 0}},
  };
  for (const KeyCase& c : cases) {
    TextModel m;
    m.lines = c.before.lines;
    m.row = c.before.row;
    m.col = c.before.col;
    m.top = c.before.top;
    m.visible = 10;
    applyTextAreaKey(m, c.key);
    EXPECT_EQ(m.lines, c.after.lines) << c.name;
    EXPECT_EQ(m.row, c.after.row) << c.name;
    EXPECT_EQ(m.col, c.after.col) << c.name;
    EXPECT_EQ(m.top, c.after.top) << c.name;
  }
}

TEST(TextModel, UpAndDownNeverLandInsideAUtf8Character) {
  // "é" is two bytes: byte 2 of the upper line is its second byte.
  const struct {
    bool utf8;
    size_t col;
  } cases[] = {{true, 1}, {false, 2}};
  for (const auto& c : cases) {
    TextModel m;
    m.lines = {"h\xc3\xa9llo", "abcdef"};
    m.row = 1;
    m.col = 2;
    m.utf8 = c.utf8;
    applyTextAreaKey(m, NEWT_KEY_UP);
    EXPECT_EQ(m.row, 0u);
    EXPECT_EQ(m.col, c.col) << "utf8=" << c.utf8;
  }
}

TEST(TextModel, SplitsAndJoinsTheDescription) {
  const struct {
    const char* text;
    Lines lines;
    size_t row;
    size_t col;
    size_t top;
  } cases[] = {
      {"", {""}, 0, 0, 0},
      {"one line", {"one line"}, 0, 8, 0},
      {"a\nb\n", {"a", "b", ""}, 2, 0, 0},
      {"\n\n", {"", "", ""}, 2, 0, 0},
      {"0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11", {"0", "1", "2", "3", "4", "5", "6", "7", "8",
                                                  "9", "10", "11"}, 11, 2, 2},
  };
  for (const auto& c : cases) {
    TextModel m = makeTextModel(c.text, 10, false);
    EXPECT_EQ(m.lines, c.lines) << c.text;
    EXPECT_EQ(m.row, c.row) << c.text;
    EXPECT_EQ(m.col, c.col) << c.text;
    EXPECT_EQ(m.top, c.top) << c.text;
    EXPECT_EQ(joinText(m), c.text);
  }
}

TEST(TextModel, TypingWithinALineStaysWithTheEntry) {
  const struct {
    int key;
    size_t cursor;
    size_t length;
    bool ours;
  } cases[] = {
      {'a', 0, 0, false},
      {NEWT_KEY_LEFT, 0, 3, false},
      {NEWT_KEY_RIGHT, 3, 3, false},
      {NEWT_KEY_BKSPC, 1, 3, false},
      {NEWT_KEY_BKSPC, 0, 3, true},
      {NEWT_KEY_DELETE, 2, 3, false},
      {NEWT_KEY_DELETE, 3, 3, true},
      {kCtrlD, 3, 3, true},
      {kCtrlD, 0, 3, false},
      {NEWT_KEY_ENTER, 1, 3, true},
      {NEWT_KEY_UP, 1, 3, true},
      {NEWT_KEY_DOWN, 1, 3, true},
      {NEWT_KEY_HOME, 1, 3, true},
      {NEWT_KEY_END, 1, 3, true},
      {kCtrlA, 1, 3, true},
      {kCtrlE, 1, 3, true},
      {kCtrlK, 1, 3, true},
      {kCtrlU, 1, 3, true},
      {NEWT_KEY_TAB, 1, 3, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isTextAreaKey(c.key, c.cursor, c.length), c.ours)
        << "key " << c.key << " at " << c.cursor << " of " << c.length;
  }
}

TEST(TextModel, ACursorBeyondItsLineIsBroughtBackBeforeAnEdit) {
  TextModel m;
  m.lines = {"ab", "cd"};
  m.row = 5;
  m.col = 9;
  applyTextAreaKey(m, NEWT_KEY_ENTER);
  EXPECT_EQ(m.lines, (Lines{"ab", "cd", ""}));
  EXPECT_EQ(m.row, 2u);
  EXPECT_EQ(m.col, 0u);
}

}  // namespace
}  // namespace cvreport
