// cvsysinfo: writes one XML document describing the host, its containers,
// the host node and the installed templates.
#include <cvctl.h>
#include <libxml/parser.h>
#include <stdio.h>

#include "report.h"

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  int rc = cvctl_open();
  if (rc != 0) {
    fprintf(stderr, "Failed to initialize cvctl library, err = %d!\n", rc);
    return rc;
  }
  bool written = cvsysinfo::makeXmlReport(argv[1]);
  xmlCleanupParser();
  cvctl_close();
  return written ? 0 : 1;
}
