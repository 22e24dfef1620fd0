#include "wizard/text_area.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace cvreport {
namespace {

// An entry cannot apply these keys itself; given Enter, an entry made with
// NEWT_FLAG_RETURNEXIT ends the form instead, and the loop applies the key.
int exitWith(EditingForm& editing, newtComponent entry, int key, int cursor) {
  editing.pendingEntry = entry;
  editing.pendingKey = key;
  editing.pendingCursor = cursor;
  return NEWT_KEY_ENTER;
}

int lineEntryFilter(newtComponent entry, void* data, int key, int cursor) {
  auto& editing = *static_cast<EditingForm*>(data);
  if (key == NEWT_KEY_ENTER || key == NEWT_KEY_UP || key == NEWT_KEY_DOWN) {
    return exitWith(editing, entry, key, cursor);
  }
  return key;
}

int textRowFilter(newtComponent entry, void* data, int key, int cursor) {
  auto& editing = *static_cast<EditingForm*>(data);
  size_t length = strlen(newtEntryGetValue(entry));
  if (isTextAreaKey(key, static_cast<size_t>(cursor), length)) {
    return exitWith(editing, entry, key, cursor);
  }
  return key;
}

int rowIndex(const EditingForm& editing, newtComponent entry) {
  auto it = std::find(editing.textRows.begin(), editing.textRows.end(), entry);
  return it == editing.textRows.end() ? -1 : static_cast<int>(it - editing.textRows.begin());
}

newtComponent cursorRow(const EditingForm& editing) {
  return editing.textRows[editing.text.row - editing.text.top];
}

// The user types into the rows themselves, so the model is behind them
// until they are read back.
void readRows(EditingForm& editing) {
  TextModel& m = editing.text;
  for (size_t i = 0; i < editing.textRows.size(); ++i) {
    if (m.top + i < m.lines.size()) m.lines[m.top + i] = newtEntryGetValue(editing.textRows[i]);
  }
}

// Shows the lines in view; only the cursor's row takes the focus, so Tab
// steps over the multi-line entry as one component.
void showRows(EditingForm& editing) {
  const TextModel& m = editing.text;
  for (size_t i = 0; i < editing.textRows.size(); ++i) {
    size_t line = m.top + i;
    newtEntrySet(editing.textRows[i], line < m.lines.size() ? m.lines[line].c_str() : "", 0);
    newtComponentTakesFocus(editing.textRows[i], line == m.row);
  }
  newtEntrySetCursorPosition(cursorRow(editing), static_cast<int>(m.col));
}

void applyTextKey(EditingForm& editing, int row) {
  readRows(editing);
  TextModel& m = editing.text;
  m.row = m.top + static_cast<size_t>(row);
  m.col = static_cast<size_t>(editing.pendingCursor);
  applyTextAreaKey(m, editing.pendingKey);
  showRows(editing);
  newtFormSetCurrent(editing.form, cursorRow(editing));
}

void applyLineKey(EditingForm& editing) {
  if (editing.pendingKey != NEWT_KEY_ENTER) return;  // Up and Down stay put
  auto& entries = editing.lineEntries;
  auto it = std::find(entries.begin(), entries.end(), editing.pendingEntry);
  if (it == entries.end()) return;
  if (it + 1 != entries.end()) {
    newtFormSetCurrent(editing.form, *(it + 1));
  } else if (!editing.textRows.empty()) {
    newtFormSetCurrent(editing.form, cursorRow(editing));
  }
}

}  // namespace

newtComponent addLineEntry(EditingForm& editing, const std::string& value, int width) {
  newtComponent entry = newtEntry(-1, -1, value.c_str(), width, nullptr,
                                  NEWT_FLAG_SCROLL | NEWT_FLAG_RETURNEXIT);
  newtEntrySetFilter(entry, lineEntryFilter, &editing);
  editing.lineEntries.push_back(entry);
  return entry;
}

newtGrid addTextArea(EditingForm& editing, const std::string& text, int width, int rows) {
  editing.text = makeTextModel(text, static_cast<size_t>(rows), MB_CUR_MAX > 1);
  newtGrid grid = newtCreateGrid(1, rows);
  for (int i = 0; i < rows; ++i) {
    newtComponent row =
        newtEntry(-1, -1, "", width, nullptr, NEWT_FLAG_SCROLL | NEWT_FLAG_RETURNEXIT);
    newtEntrySetFilter(row, textRowFilter, &editing);
    newtGridSetField(grid, 0, i, NEWT_GRID_COMPONENT, row, 0, 0, 0, 0, NEWT_ANCHOR_LEFT, 0);
    editing.textRows.push_back(row);
  }
  showRows(editing);
  return grid;
}

int visibleTextRows(int screenRows, int fixedRows, int wanted) {
  constexpr int kFewest = 3;
  return std::max(kFewest, std::min(wanted, screenRows - fixedRows));
}

void runEditingForm(EditingForm& editing, newtExitStruct& exit) {
  for (;;) {
    editing.pendingEntry = nullptr;
    newtFormRun(editing.form, &exit);
    bool ours = exit.reason == newtExitStruct::NEWT_EXIT_COMPONENT && editing.pendingEntry &&
                exit.u.co == editing.pendingEntry;
    if (!ours) break;
    int row = rowIndex(editing, editing.pendingEntry);
    if (row >= 0) {
      applyTextKey(editing, row);
    } else {
      applyLineKey(editing);
    }
  }
  if (!editing.textRows.empty()) readRows(editing);
}

}  // namespace cvreport
