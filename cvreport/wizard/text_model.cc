#include "wizard/text_model.h"

#include <newt.h>

#include <algorithm>

#include "run/text.h"

namespace cvreport {
namespace {

constexpr int kCtrlA = 0x01;
constexpr int kCtrlD = 0x04;
constexpr int kCtrlE = 0x05;
constexpr int kCtrlK = 0x0b;
constexpr int kCtrlU = 0x15;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

// Keeps the column where the entry can put its cursor.
void fitColumn(TextModel& m, size_t wanted) {
  const std::string& line = m.lines[m.row];
  m.col = std::min(wanted, line.size());
  if (m.utf8) {
    while (m.col > 0 && m.col < line.size() && isContinuationByte(line[m.col])) --m.col;
  }
}

void moveToRow(TextModel& m, size_t row) {
  size_t wanted = m.col;
  m.row = row;
  fitColumn(m, wanted);
}

void splitLine(TextModel& m) {
  std::string rest = m.lines[m.row].substr(m.col);
  m.lines[m.row].resize(m.col);
  m.lines.insert(m.lines.begin() + static_cast<long>(m.row) + 1, rest);
  ++m.row;
  m.col = 0;
}

void joinWithPrevious(TextModel& m) {
  if (m.row == 0) return;
  std::string& previous = m.lines[m.row - 1];
  m.col = previous.size();
  previous += m.lines[m.row];
  m.lines.erase(m.lines.begin() + static_cast<long>(m.row));
  --m.row;
}

void joinNext(TextModel& m) {
  if (m.row + 1 >= m.lines.size()) return;
  m.lines[m.row] += m.lines[m.row + 1];
  m.lines.erase(m.lines.begin() + static_cast<long>(m.row) + 1);
}

// Keeps the cursor's line in view, moving the view as little as possible,
// and leaves no empty rows below the text while earlier lines are hidden.
void scrollToCursor(TextModel& m) {
  size_t visible = std::max<size_t>(m.visible, 1);
  if (m.lines.size() <= visible) {
    m.top = 0;
  } else {
    m.top = std::min(m.top, m.lines.size() - visible);
  }
  if (m.row < m.top) m.top = m.row;
  if (m.row >= m.top + visible) m.top = m.row - visible + 1;
}

}  // namespace

TextModel makeTextModel(const std::string& text, size_t visible, bool utf8) {
  TextModel m;
  m.visible = visible;
  m.utf8 = utf8;
  m.lines = splitAt(text, '\n');
  m.row = m.lines.size() - 1;
  m.col = m.lines[m.row].size();
  scrollToCursor(m);
  return m;
}

std::string joinText(const TextModel& model) {
  std::string text;
  for (size_t i = 0; i < model.lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += model.lines[i];
  }
  return text;
}

bool isTextAreaKey(int key, size_t cursor, size_t lineLength) {
  switch (key) {
    case NEWT_KEY_ENTER:
    case NEWT_KEY_UP:
    case NEWT_KEY_DOWN:
    case NEWT_KEY_PGUP:
    case NEWT_KEY_PGDN:
    case NEWT_KEY_HOME:
    case NEWT_KEY_END:
    case kCtrlA:
    case kCtrlE:
    case kCtrlK:
    case kCtrlU:
      return true;
    case NEWT_KEY_BKSPC:
      return cursor == 0;
    case NEWT_KEY_DELETE:
    case kCtrlD:
      return cursor >= lineLength;
    default:
      return false;
  }
}

void applyTextAreaKey(TextModel& m, int key) {
  if (m.lines.empty()) m.lines.emplace_back();
  m.row = std::min(m.row, m.lines.size() - 1);
  fitColumn(m, m.col);
  size_t last = m.lines.size() - 1;
  size_t page = std::max<size_t>(m.visible, 1);
  switch (key) {
    case NEWT_KEY_ENTER: splitLine(m); break;
    case NEWT_KEY_BKSPC: if (m.col == 0) joinWithPrevious(m); break;
    case NEWT_KEY_DELETE:
    case kCtrlD: if (m.col == m.lines[m.row].size()) joinNext(m); break;
    case NEWT_KEY_UP: if (m.row > 0) moveToRow(m, m.row - 1); break;
    case NEWT_KEY_DOWN: if (m.row < last) moveToRow(m, m.row + 1); break;
    case NEWT_KEY_PGUP: moveToRow(m, m.row > page ? m.row - page : 0); break;
    case NEWT_KEY_PGDN: moveToRow(m, std::min(m.row + page, last)); break;
    case NEWT_KEY_HOME:
    case kCtrlA: m.row = 0; m.col = 0; break;
    case NEWT_KEY_END:
    case kCtrlE: m.row = last; m.col = m.lines[last].size(); break;
    case kCtrlK: m.lines[m.row].resize(m.col); break;
    case kCtrlU: m.lines[m.row].erase(0, m.col); m.col = 0; break;
    default: break;
  }
  scrollToCursor(m);
}

}  // namespace cvreport
