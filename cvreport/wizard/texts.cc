#include "wizard/texts.h"

#include "run/text.h"

namespace cvreport {

const char kWelcomeTitle[] = "Welcome to Corvanta Problem Report wizard!";
const char kWelcomeText[] =
    "This wizard helps you report the problems related to the Corvanta installation directly "
    "to the Corvanta technical support. That is how the wizard works:\n\n\t\t\t\t- The problem "
    "description and the details on your Corvanta installation are collected into a single "
    "archive file. The archive file does not contain any private information of yours.\n\n"
    "\t\t\t\t- The archive is uploaded to the Corvanta technical support site. The wizard does "
    "not upload any additional information except for the archive file.";
const char kContactIntro[] =
    "Please provide your contact information and a detailed problem description that you "
    "want to report to the Corvanta technical support team.";
const char kCollectText[] =
    "Corvanta logs along with the system and network settings information are collected into "
    "the final report required for the problem analysis to be completed by the Corvanta "
    "technical support team.";

std::string unreachableText(const std::string& reason) {
  return "The support service cannot be reached (" + reason +
         ").\n\nContinue collects the report and keeps it for sending later; Cancel ends "
         "the wizard.";
}

std::string submitPageText(const std::string& archivePath) {
  std::string text =
      "The wizard has finished generating the report and is ready to submit it to the "
      "Corvanta technical support.\n\nThe collected data is located in the\n{REP_PATH} "
      "file.\n\nPlease press the 'Submit' button  to send the report.";
  text.replace(text.find("{REP_PATH}"), 10, archivePath);
  return text;
}

std::string submitErrorText(const std::string& detail, const std::string& hint) {
  return "Failed to submit your report:\n\t\t\t\t" + detail + "\n\n" + hint;
}

std::string resultText(const std::map<std::string, std::string>& replyValues,
                       std::string& idText) {
  std::string text =
      "Your report has been successfully submitted to the Corvanta technical support team.\n\n";
  idText.clear();
  auto it = replyValues.find("REPID");
  if (it == replyValues.end()) return text;
  // The ID is the service's text, shown on the screen and after it.
  idText = "Your problem report was assigned ID " + printableText(it->second, LineBreaks::kSpace) +
           "\n\nPlease refer to this ID when contacting the Corvanta technical support.\n"
           "\nYou have been sent an email notification about the report with additional "
           "instructions on how you can further communicate with the Corvanta support team "
           "via email.\n\n";
  return text + idText;
}

}  // namespace cvreport
