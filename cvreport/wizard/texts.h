// The wizard's longer texts, kept apart from the screen so that they can be
// checked alone.
#pragma once

#include <map>
#include <string>

namespace cvreport {

// The width of the text left on the terminal when the wizard ends.
inline constexpr int kExitTextWidth = 64;

extern const char kWelcomeTitle[];
extern const char kWelcomeText[];
extern const char kContactIntro[];
extern const char kCollectText[];

// The texts as shown; none of these can fail.
std::string submitPageText(const std::string& archivePath);
std::string submitErrorText(const std::string& detail, const std::string& hint);
// The question before collecting when the service cannot be reached.
std::string unreachableText(const std::string& reason);
// The result page's text; idText gets the part about the problem ID, empty
// when the reply named none.
std::string resultText(const std::map<std::string, std::string>& replyValues,
                       std::string& idText);

}  // namespace cvreport
