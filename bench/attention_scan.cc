// The second scan alone, over a directory as cvreport scans a report's
// collected files, for bench/mask_bench.sh: prints the number of hits.
#include <stdio.h>

#include <string>
#include <vector>

#include "submit/attention_scan.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: cv_attention_scan DIR\n", stderr);
    return 2;
  }
  std::vector<cvreport::AttentionHit> hits;
  std::string message;
  if (cvreport::scanReportFiles(argv[1], hits, &message) != 0) {
    fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  printf("%zu\n", hits.size());
  return 0;
}
