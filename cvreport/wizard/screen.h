// Thin helpers over newt for the wizard's windows: translated labels and
// the calls whose C signature wants writable strings.
#pragma once

#include <newt.h>

#include <string>

namespace cvreport {

// Titles and button labels go through the message catalogue of the default
// domain; page texts are shown as they stand.
const char* tr(const char* text);

// None of these can fail: newt reports nothing back.
// A wrapping textbox sized to the text reflowed around width; a text taller
// than maxRows (when not 0) scrolls inside a box of maxRows.
newtComponent reflowedTextbox(const std::string& text, int width, int flexDown, int flexUp,
                              int maxRows = 0);
// A window on newt's window stack, popped when its owner goes. Declare it
// before the form it shows, so that the form is destroyed first.
class NewtWindow {
 public:
  NewtWindow() = default;
  NewtWindow(const NewtWindow&) = delete;
  NewtWindow& operator=(const NewtWindow&) = delete;
  ~NewtWindow();

  // A centred window sized to the grid, titled (no title when null).
  void openGrid(newtGrid grid, const char* title);
  // A centred window of the given size, untitled.
  void openCentered(int width, int height);

 private:
  bool open_ = false;
};

// A form and its components, destroyed when the owner goes.
class NewtForm {
 public:
  NewtForm() : form_(newtForm(nullptr, nullptr, 0)) {}
  NewtForm(const NewtForm&) = delete;
  NewtForm& operator=(const NewtForm&) = delete;
  ~NewtForm() { newtFormDestroy(form_); }

  newtComponent get() const { return form_; }

 private:
  newtComponent form_;
};
// A window sized to the grid, titled (no title when null), and a form
// holding the grid's components; the grid itself is freed. The form goes
// before the window.
class GridWindow {
 public:
  GridWindow(newtGrid grid, const char* title);
  GridWindow(const GridWindow&) = delete;
  GridWindow& operator=(const GridWindow&) = delete;

  newtComponent form() const { return form_.get(); }

 private:
  NewtWindow window_;
  NewtForm form_;
};

// A button bar of one or two buttons; second may be null.
newtGrid makeButtonBar(const char* first, newtComponent* firstButton, const char* second,
                       newtComponent* secondButton);
newtGrid makeButtonBar3(const char* first, newtComponent* firstButton, const char* second,
                        newtComponent* secondButton, const char* third,
                        newtComponent* thirdButton);

// Sets a grid cell; padding is left, top, right, bottom.
void placeComponent(newtGrid grid, int col, int row, newtComponent component, int padTop,
                    int anchor, int flags = 0);
void placeSubgrid(newtGrid grid, int col, int row, newtGrid subgrid, int padLeft, int padTop,
                  int anchor, int flags = 0);

}  // namespace cvreport
