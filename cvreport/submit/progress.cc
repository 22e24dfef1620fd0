#include "submit/progress.h"

namespace cvreport {
namespace {

int lastWrittenPercent = -1;

}  // namespace

int uploadPercent(curl_off_t uploadTotal, curl_off_t uploadNow) {
  if (uploadTotal == 0) return 0;
  return static_cast<int>(static_cast<double>(uploadNow) * 100.0 / static_cast<double>(uploadTotal));
}

int reportUploadProgress(void*, curl_off_t, curl_off_t, curl_off_t uploadTotal,
                         curl_off_t uploadNow) {
  int percent = uploadPercent(uploadTotal, uploadNow);
  if (percent != lastWrittenPercent) {
    lastWrittenPercent = percent;
    printf("PROGRESS=%i\n", percent);
    // The parent shows progress live; a pipe would otherwise hold it back.
    fflush(stdout);
  }
  return 0;
}

void resetUploadProgress() { lastWrittenPercent = -1; }

void printCompleteProgressLines(const std::string& collected, size_t& scanPos, FILE* out) {
  static const std::string kMarker = "PROGRESS=";
  for (;;) {
    size_t at = collected.find(kMarker, scanPos);
    if (at == std::string::npos) return;
    size_t valueStart = at + kMarker.size();
    size_t newline = collected.find('\n', valueStart);
    if (newline == std::string::npos) return;
    fprintf(out, "Upload progress: %s%%\n",
            collected.substr(valueStart, newline - valueStart).c_str());
    scanPos = newline;
  }
}

}  // namespace cvreport
