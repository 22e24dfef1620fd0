#include "wizard/screen.h"

#include <libintl.h>
#include <stdlib.h>

#include "wizard/hangup.h"

namespace cvreport {
namespace {

// newt copies what it is given; the copies here only satisfy its char*
// parameters.
std::string writable(const char* text) { return text ? text : ""; }

}  // namespace

const char* tr(const char* text) { return gettext(text); }

newtComponent reflowedTextbox(const std::string& text, int width, int flexDown, int flexUp,
                              int maxRows) {
  std::string copy = text;
  int actualWidth = 0;
  int actualHeight = 0;
  char* flowed = newtReflowText(&copy[0], width, flexDown, flexUp, &actualWidth, &actualHeight);
  int flags = NEWT_FLAG_WRAP;
  if (maxRows > 0 && actualHeight > maxRows) {
    actualHeight = maxRows;
    flags |= NEWT_FLAG_SCROLL;
  }
  newtComponent box = newtTextbox(-1, -1, actualWidth, actualHeight, flags);
  newtTextboxSetText(box, flowed);
  free(flowed);
  return box;
}

NewtWindow::~NewtWindow() {
  if (open_) newtPopWindow();
}

// A window opens by flushing the keys typed ahead, which never ends on a
// terminal that has hung up.
void NewtWindow::openGrid(newtGrid grid, const char* title) {
  if (terminalHungUp()) return;
  open_ = true;
  if (!title) {
    newtGridWrappedWindow(grid, nullptr);
    return;
  }
  std::string copy = writable(title);
  newtGridWrappedWindow(grid, &copy[0]);
}

void NewtWindow::openCentered(int width, int height) {
  if (terminalHungUp()) return;
  open_ = true;
  newtCenteredWindow(width, height, nullptr);
}

GridWindow::GridWindow(newtGrid grid, const char* title) {
  window_.openGrid(grid, title);
  newtGridAddComponentsToForm(grid, form_.get(), 1);
  newtGridFree(grid, 1);
}

newtGrid makeButtonBar(const char* first, newtComponent* firstButton, const char* second,
                       newtComponent* secondButton) {
  std::string one = writable(first);
  if (!second) return newtButtonBar(&one[0], firstButton, nullptr);
  std::string two = writable(second);
  return newtButtonBar(&one[0], firstButton, &two[0], secondButton, nullptr);
}

newtGrid makeButtonBar3(const char* first, newtComponent* firstButton, const char* second,
                        newtComponent* secondButton, const char* third,
                        newtComponent* thirdButton) {
  std::string one = writable(first);
  std::string two = writable(second);
  std::string three = writable(third);
  return newtButtonBar(&one[0], firstButton, &two[0], secondButton, &three[0], thirdButton,
                       nullptr);
}

void placeComponent(newtGrid grid, int col, int row, newtComponent component, int padTop,
                    int anchor, int flags) {
  newtGridSetField(grid, col, row, NEWT_GRID_COMPONENT, component, 0, padTop, 0, 0, anchor,
                   flags);
}

void placeSubgrid(newtGrid grid, int col, int row, newtGrid subgrid, int padLeft, int padTop,
                  int anchor, int flags) {
  newtGridSetField(grid, col, row, NEWT_GRID_SUBGRID, subgrid, padLeft, padTop, 0, 0, anchor,
                   flags);
}

}  // namespace cvreport
