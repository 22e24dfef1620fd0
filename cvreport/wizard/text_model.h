// The text behind the contact page's multi-line entry: its lines, the
// cursor and the part in view, and the edits that change the line structure.
// Typing within a line is left to the newt entry that shows the line.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

namespace cvreport {

struct TextModel {
  std::vector<std::string> lines{std::string()};  // never empty
  size_t row = 0;  // the cursor's line
  size_t col = 0;  // the cursor's byte offset in it
  size_t top = 0;  // the first line in view
  size_t visible = 10;
  // Columns taken over by Up and Down step back to the start of a UTF-8
  // character instead of landing inside one.
  bool utf8 = false;
};

// Plain computations on the model; none of them can fail.
// The text split at "\n", with the cursor at its end.
TextModel makeTextModel(const std::string& text, size_t visible, bool utf8);
std::string joinText(const TextModel& model);

// Whether the key, pressed at byte offset cursor of a line of lineLength
// bytes, is one the model handles (it crosses or changes line boundaries);
// other keys stay with the entry.
bool isTextAreaKey(int key, size_t cursor, size_t lineLength);
void applyTextAreaKey(TextModel& model, int key);

}  // namespace cvreport
