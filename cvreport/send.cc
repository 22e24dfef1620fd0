#include "send.h"

#include <stdio.h>

namespace cvreport {

int runSendReport() {
  fputs("cvreport: --send is not available in this build\n", stderr);
  return 1;
}

}  // namespace cvreport
