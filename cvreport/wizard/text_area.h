// A form whose entries leave the form for the keys newt's entries cannot
// handle themselves: the multi-line entry's line-structure keys, and Enter,
// Up and Down in single-line entries. The loop here applies them and runs
// the form again, so the page sees only the exits it cares about.
#pragma once

#include <newt.h>

#include <string>
#include <vector>

#include "wizard/text_model.h"

namespace cvreport {

struct EditingForm {
  newtComponent form = nullptr;
  std::vector<newtComponent> lineEntries;  // single-line entries, in focus order
  TextModel text;
  std::vector<newtComponent> textRows;  // one single-line entry per visible line
  // Set by a key filter right before it makes the form exit.
  newtComponent pendingEntry = nullptr;
  int pendingKey = 0;
  int pendingCursor = 0;
};

// Plain newt calls; none of these can fail.
// The key filters keep a pointer to editing, which must therefore stay where
// it is while the form exists.
newtComponent addLineEntry(EditingForm& editing, const std::string& value, int width);
// A grid of the rows of a multi-line entry holding text, its cursor at the end.
newtGrid addTextArea(EditingForm& editing, const std::string& text, int width, int rows);
// How many lines of the multi-line entry a screen of screenRows can show,
// when the rest of the page takes fixedRows.
int visibleTextRows(int screenRows, int fixedRows, int wanted);

// Runs editing.form until a component other than our entries' edits, a hot
// key or the timer ends it; the text model then holds what the rows show.
void runEditingForm(EditingForm& editing, newtExitStruct& exit);

}  // namespace cvreport
