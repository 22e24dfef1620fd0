#include "wizard/review_page.h"

#include <newt.h>

#include <stdlib.h>

#include <algorithm>
#include <string>

#include "run/config.h"
#include "run/log.h"
#include "run/session.h"
#include "run/text.h"
#include "submit/obfuscate_report.h"
#include "submit/report_review.h"
#include "wizard/dialogs.h"
#include "wizard/review_text.h"
#include "wizard/screen.h"

namespace cvreport {
namespace {

constexpr size_t kShownBytes = 4 << 20;
// The checkbox and the scroll bar beside the rows.
constexpr int kTreeWidth = kReviewRowWidth + 6;
// Everything on the page but the tree and the notes: the banner and a
// row to match it below, the window's frame and margins, the intro, the
// heads, the gaps and the buttons.
constexpr int kPageChromeRows = 15;
// The banner and a row to match it below, the frame, the margins and the
// button.
constexpr int kViewChromeRows = 12;

const char kReviewIntro[] = "Enter: show the file. Space: leave it out. Next: send the rest.";

const char kManifestStaysText[] =
    "The collector's manifest stays in the report: it records which files you left out.";

bool reviewWanted() {
  return !reportSession.collectOnly && configValue(reportSession.config, "REVIEW") != "no";
}

// The tree takes what the files need of the room, the notes the rest.
void splitRows(int room, int files, int notes, int& treeRows, int& noteRows) {
  room = std::max(room, 6);
  treeRows = std::min(files, std::max(3, room * 3 / 5));
  noteRows = std::min(notes, room - treeRows);
  treeRows = std::min(files, room - noteRows);
}

// The rows text takes, wrapped at width.
int wrappedRows(const std::string& text, int width) {
  std::string copy = text;
  int actualWidth = 0;
  int height = 0;
  free(newtReflowText(&copy[0], width, 0, 0, &actualWidth, &height));
  return height;
}

// The file in a scrolling box of its own, until Close or Escape.
void showReportFile(const ReportReview& review, const ReviewFile& file) {
  std::string text;
  bool truncated = false;
  std::string message;
  if (readReportFile(reportSession.archivePath, file.name, kShownBytes, text, truncated,
                     &message) != 0) {
    logMessage("%s", message.c_str());
    std::string shown = printableText(message, LineBreaks::kKeep);
    showMessageBox(tr("Error"), shown.c_str(), tr("Close"), nullptr, false);
    return;
  }
  std::string shown = markedFileText(text, attentionIn(review, file.name), truncated);
  int cols = 0;
  int rows = 0;
  newtGetScreenSize(&cols, &rows);
  int width = std::max(cols - 10, 40);
  int needed = std::max(wrappedRows(shown, width), 1);
  int height = std::min(needed, std::max(rows - kViewChromeRows, 3));
  bool scrolls = height < needed;
  newtComponent box = newtTextbox(-1, -1, width, height,
                                  scrolls ? NEWT_FLAG_WRAP | NEWT_FLAG_SCROLL : NEWT_FLAG_WRAP);
  newtTextboxSetText(box, shown.c_str());
  newtGrid grid = newtCreateGrid(1, 2);
  placeComponent(grid, 0, 0, box, 0, 0);
  newtComponent close = nullptr;
  placeSubgrid(grid, 0, 1, makeButtonBar(tr("Close"), &close, nullptr, nullptr), 0, 1, 0);
  std::string title = printableText(file.name, LineBreaks::kSpace);
  if (title.size() > static_cast<size_t>(width - 4)) title = shownName(file.name, width - 4);
  GridWindow window(grid, title.c_str());
  newtFormAddHotKey(window.form(), NEWT_KEY_ESCAPE);
  // The arrow keys scroll the text from the start.
  newtFormSetCurrent(window.form(), scrolls ? box : close);
  newtRunForm(window.form());
}

}  // namespace

WizResult DlgWizReview::run() {
  if (reviewed_ || !reviewWanted()) return obfuscateWanted() ? WIZ_NEXT : WIZ_ABORT;
  ReportSession& s = reportSession;
  std::string message;
  int prepared = -1;
  runBehindNotice(tr("Preparing the review..."), [&] {
    prepared = prepareReview(s.archivePath, s.filesDir, review_, &message);
  });
  reviewed_ = true;
  if (prepared != 0) {
    // The report is not lost for want of a review: it goes on to be sent.
    logMessage("Error: the review could not be prepared: %s", message.c_str());
    std::string text = "The report could not be prepared for review (" +
                       printableText(message, LineBreaks::kSpace) +
                       "). It goes on to the submission without a review.";
    showMessageBox(tr("Error"), text.c_str(), tr("Continue"), nullptr, false);
    // Without a review the settings alone decide on the replacing.
    return obfuscateWanted() ? WIZ_NEXT : WIZ_ABORT;
  }
  logMessage("Review: %zu files, %zu entries in the attention list",
             review_.contents.files.size(), review_.attention.size());
  for (;;) {
    WizResult code = runForm();
    if (code == WIZ_NEXT && excludeChecked()) return obfuscateWanted() ? WIZ_NEXT : WIZ_ABORT;
    if (code == WIZ_CANCEL && confirmCancel() == WIZ_CANCEL) {
      // Kept as a failed upload keeps it; the wizard says where it is.
      s.keepWorkDir = true;
      return WIZ_CANCELED;
    }
  }
}

newtGrid DlgWizReview::pageGrid() {
  const std::vector<ReviewFile>& files = review_.contents.files;
  std::string notes = reviewNotesText(review_);
  int cols = 0;
  int rows = 0;
  newtGetScreenSize(&cols, &rows);
  int treeRows = 0;
  int noteRows = 0;
  // The notes are narrower by the scroll bar, which stays empty when
  // every row shows.
  splitRows(rows - kPageChromeRows, std::max<int>(files.size(), 1),
            wrappedRows(notes, kTreeWidth - 2), treeRows, noteRows);

  newtGrid grid = newtCreateGrid(1, 6);
  placeComponent(grid, 0, 0, reflowedTextbox(kReviewIntro, kTreeWidth, 0, 0), 0,
                 NEWT_ANCHOR_LEFT);
  std::string head = "    " + reviewHeadRow();
  placeComponent(grid, 0, 1, newtLabel(-1, -1, head.c_str()), 1, NEWT_ANCHOR_LEFT);
  int treeFlags = static_cast<int>(files.size()) > treeRows ? NEWT_FLAG_SCROLL : 0;
  tree_ = newtCheckboxTree(-1, -1, treeRows, treeFlags);
  for (const ReviewFile& file : files) {
    std::string row = reviewFileRow(file, attentionLineCount(attentionIn(review_, file.name)));
    int flags = excluded_.count(file.name) ? NEWT_FLAG_SELECTED : 0;
    newtCheckboxTreeAddItem(tree_, row.c_str(), &file, flags, NEWT_ARG_APPEND, NEWT_ARG_LAST);
  }
  newtCheckboxTreeSetWidth(tree_, kTreeWidth);
  placeComponent(grid, 0, 2, tree_, 0, NEWT_ANCHOR_LEFT);
  placeComponent(grid, 0, 3, reflowedTextbox(notes, kTreeWidth - 2, 0, 0, noteRows), 1,
                 NEWT_ANCHOR_LEFT);
  obfuscateBox_ = newtCheckbox(-1, -1, tr("Replace host names, addresses and user names"),
                               reportSession.obfuscate ? '*' : ' ', " *", nullptr);
  placeComponent(grid, 0, 4, obfuscateBox_, 1, NEWT_ANCHOR_LEFT);
  placeSubgrid(grid, 0, 5, makeButtonBar(tr("Next"), &next_, tr("Cancel"), &cancel_), 0, 1, 0,
               NEWT_GRID_FLAG_GROWX);
  return grid;
}

WizResult DlgWizReview::runForm() {
  GridWindow window(pageGrid(), tr("Review the report"));
  newtFormAddHotKey(window.form(), NEWT_KEY_ENTER);
  newtFormAddHotKey(window.form(), NEWT_KEY_ESCAPE);
  newtFormSetCurrent(window.form(), tree_);
  WizResult code = WIZ_STAY;
  while (code == WIZ_STAY) {
    newtExitStruct exit;
    newtFormRun(window.form(), &exit);
    readChecks();
    code = formCode(exit, window.form());
  }
  tree_ = next_ = cancel_ = obfuscateBox_ = nullptr;
  return code;
}

WizResult DlgWizReview::formCode(const newtExitStruct& exit, newtComponent form) {
  newtComponent chosen = exit.reason == newtExitStruct::NEWT_EXIT_COMPONENT ? exit.u.co : nullptr;
  if (exit.reason == newtExitStruct::NEWT_EXIT_HOTKEY) {
    if (exit.u.key == NEWT_KEY_ESCAPE) return WIZ_CANCEL;
    if (exit.u.key == NEWT_KEY_F12) return WIZ_NEXT;
    chosen = newtFormGetCurrent(form);
    if (chosen == tree_) {
      const void* current = newtCheckboxTreeGetCurrent(tree_);
      if (current) showReportFile(review_, *static_cast<const ReviewFile*>(current));
      return WIZ_STAY;
    }
  }
  if (chosen == next_) return WIZ_NEXT;
  if (chosen == cancel_ || exit.reason == newtExitStruct::NEWT_EXIT_ERROR) return WIZ_CANCEL;
  return WIZ_STAY;
}

void DlgWizReview::readChecks() {
  reportSession.obfuscate = newtCheckboxGetValue(obfuscateBox_) == '*';
  excluded_.clear();
  for (const ReviewFile& file : review_.contents.files) {
    if (newtCheckboxTreeGetEntryValue(tree_, &file) == '*') excluded_.insert(file.name);
  }
}

bool DlgWizReview::excludeChecked() {
  if (excluded_.empty()) return true;
  if (excluded_.count(kManifestMember)) {
    // The manifest is where the report says what the reporter left out.
    showMessageBox(tr("Warning!"), kManifestStaysText, tr("Back"), nullptr, false);
    return false;
  }
  std::string message;
  int result = -1;
  runBehindNotice(tr("Leaving the marked files out..."), [&] {
    result = excludeFromReport(reportSession.archivePath, excluded_, &message);
  });
  if (result == 0) {
    for (const std::string& name : excluded_) {
      logMessage("Left out of the report by the reporter: %s", name.c_str());
    }
    return true;
  }
  logMessage("Error: %s", message.c_str());
  std::string text = printableText(message, LineBreaks::kKeep);
  showMessageBox(tr("Error"), text.c_str(), tr("Back"), nullptr, false);
  return false;
}

bool DlgWizReview::obfuscateWanted() {
  ReportSession& s = reportSession;
  if (!s.obfuscate || obfuscated_) return true;
  std::string message;
  ObfuscateOutcome outcome;
  runBehindNotice(tr("Replacing names in the report..."), [&] {
    outcome = obfuscateReport(s.archivePath, s.filesDir, &message);
    // The attention list beside the archive is made again from the
    // replaced files.
    if (outcome.result == ObfuscateResult::kObfuscated && reviewed_) {
      std::string unused;
      prepareReview(s.archivePath, s.filesDir, review_, &unused);
    }
  });
  if (outcome.result == ObfuscateResult::kObfuscated) {
    obfuscated_ = true;
    logMessage("Report obfuscated; the map holds %zu originals", outcome.originals);
    std::string text = obfuscatedText();
    showMessageBox(tr("Report"), text.c_str(), tr("Continue"), nullptr, false);
    return true;
  }
  std::string text = outcome.result == ObfuscateResult::kSurvived
                         ? obfuscationSurvivorText(outcome)
                         : "The report could not be obfuscated (" + message +
                               "); it was not sent.";
  logMessage("Error: %s", text.c_str());
  std::string shown = printableText(text, LineBreaks::kKeep);
  showMessageBox(tr("Error"), shown.c_str(), tr("Close"), nullptr, false);
  s.exitMessage = shown;
  return false;
}

}  // namespace cvreport
