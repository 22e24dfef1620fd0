#include "wizard/contact_page.h"

#include <newt.h>

#include "run/email_address.h"
#include "run/log.h"
#include "run/session.h"
#include "submit/contact_file.h"
#include "wizard/dialogs.h"
#include "wizard/screen.h"
#include "wizard/text_area.h"
#include "wizard/texts.h"

namespace cvreport {
namespace {

constexpr int kTextAreaWidth = 62;
constexpr int kTextAreaLines = 10;
// The page's rows besides the multi-line entry: the window frame and
// shadow, the introduction, the fields, the label, the buttons and the
// empty lines between them.
constexpr int kPageRowsBesideText = 20;

struct ContactEntries {
  newtComponent fullName = nullptr;
  newtComponent company = nullptr;
  newtComponent email = nullptr;
  newtComponent subject = nullptr;
};

// Labels and entries share one shape, so that each label lines up with
// its entry; the subject stands apart by one line.
newtGrid fieldColumn(newtComponent name, newtComponent company, newtComponent email,
                     newtComponent subject) {
  newtGrid grid = newtCreateGrid(1, 5);
  placeComponent(grid, 0, 0, name, 0, NEWT_ANCHOR_LEFT);
  placeComponent(grid, 0, 1, company, 0, NEWT_ANCHOR_LEFT);
  placeComponent(grid, 0, 2, email, 0, NEWT_ANCHOR_LEFT);
  placeComponent(grid, 0, 4, subject, 1, NEWT_ANCHOR_LEFT);
  return grid;
}

newtGrid fieldsGrid(EditingForm& editing, ContactEntries& entries, const ContactInfo& c) {
  newtGrid labels = fieldColumn(newtLabel(-1, -1, "Full name: "), newtLabel(-1, -1, "Company:  "),
                                newtLabel(-1, -1, "E-mail:   "), newtLabel(-1, -1, "Subject:  "));
  entries.fullName = addLineEntry(editing, c.fullName, 40);
  entries.company = addLineEntry(editing, c.company, 40);
  entries.email = addLineEntry(editing, c.email, 40);
  entries.subject = addLineEntry(editing, c.subject, 50);
  newtGrid values = fieldColumn(entries.fullName, entries.company, entries.email, entries.subject);
  newtGrid grid = newtCreateGrid(2, 1);
  placeSubgrid(grid, 0, 0, labels, 0, 0, 0);
  placeSubgrid(grid, 1, 0, values, 1, 0, 0);
  return grid;
}

newtGrid descriptionGrid(EditingForm& editing, const std::string& description) {
  int cols = 0;
  int rows = 0;
  newtGetScreenSize(&cols, &rows);
  int lines = visibleTextRows(rows, kPageRowsBesideText, kTextAreaLines);
  newtGrid grid = newtCreateGrid(1, 4);
  placeComponent(grid, 0, 0, newtLabel(-1, -1, "Problem Description:"), 0, NEWT_ANCHOR_LEFT);
  placeSubgrid(grid, 0, 1, addTextArea(editing, description, kTextAreaWidth, lines), 0, 0,
               NEWT_ANCHOR_LEFT);
  return grid;
}

struct PageButtons {
  newtComponent back = nullptr;
  newtComponent next = nullptr;
  newtComponent cancel = nullptr;
};

newtGrid contactPageGrid(EditingForm& editing, ContactEntries& entries, PageButtons& buttons) {
  const ContactInfo& c = reportSession.contact;
  newtGrid content = newtCreateGrid(1, 2);
  placeSubgrid(content, 0, 0, fieldsGrid(editing, entries, c), 0, 1, 0);
  placeSubgrid(content, 0, 1, descriptionGrid(editing, c.description), 0, 1, 0);
  newtGrid bar = makeButtonBar3(tr("Back"), &buttons.back, tr("Next"), &buttons.next,
                                tr("Cancel"), &buttons.cancel);
  newtGrid page = newtCreateGrid(1, 3);
  placeComponent(page, 0, 0, reflowedTextbox(kContactIntro, 62, 5, 5), 0, NEWT_ANCHOR_LEFT);
  placeSubgrid(page, 0, 1, content, 0, 0, 0, NEWT_GRID_FLAG_GROWX);
  placeSubgrid(page, 0, 2, bar, 0, 1, NEWT_ANCHOR_RIGHT);
  return page;
}

void readContact(const ContactEntries& entries, const EditingForm& editing) {
  ContactInfo& c = reportSession.contact;
  c.fullName = newtEntryGetValue(entries.fullName);
  c.company = newtEntryGetValue(entries.company);
  c.email = newtEntryGetValue(entries.email);
  c.subject = newtEntryGetValue(entries.subject);
  c.description = joinText(editing.text);
}

WizResult pageCode(const newtExitStruct& exit, const PageButtons& buttons) {
  if (exit.reason == newtExitStruct::NEWT_EXIT_COMPONENT) {
    if (exit.u.co == buttons.back) return WIZ_BACK;
    if (exit.u.co == buttons.next) return WIZ_NEXT;
  }
  return WIZ_CANCEL;
}

}  // namespace

WizResult DlgWizStep1::run() {
  bool cancel = showMessageBox(kWelcomeTitle, kWelcomeText, tr("Next"), tr("Cancel"), false);
  return cancel ? WIZ_CANCEL : WIZ_NEXT;
}

WizResult DlgWizStep2::run() {
  EditingForm editing;
  ContactEntries entries;
  PageButtons buttons;
  newtGrid page = contactPageGrid(editing, entries, buttons);
  GridWindow window(page, tr("Your contact information and problem description"));
  editing.form = window.form();
  newtFormSetCurrent(editing.form, emailInvalid ? entries.email : buttons.next);

  newtExitStruct exit;
  runEditingForm(editing, exit);
  readContact(entries, editing);
  return validate(pageCode(exit, buttons));
}

WizResult DlgWizStep2::validate(WizResult code) {
  if (code != WIZ_NEXT) return code;
  emailInvalid = false;
  ContactInfo& c = reportSession.contact;
  std::string text = missingFieldsText(c);
  if (!text.empty()) {
    showMessageBox(tr("Warning!"), text.c_str(), tr("Continue"), nullptr, false);
    return WIZ_STAY;
  }
  if (!isValidEmail(c.email)) {
    showMessageBox(tr("Warning!"), tr("Invalid e-mail."), tr("Continue"), nullptr, false);
    emailInvalid = true;
    return WIZ_STAY;
  }
  if (writeContactFile(reportSession.filesDir, c, kWizardContactLabels) != 0) {
    std::string text = std::string("Error: ") + kContactWriteFailedText;
    logMessage("%s", text.c_str());
    showMessageBox(tr("Error"), text.c_str(), tr("Exit"), nullptr, false);
    return WIZ_ABORT;
  }
  return WIZ_NEXT;
}

}  // namespace cvreport
