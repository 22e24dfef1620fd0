#include "kept_list.h"

#include <stdio.h>

namespace cvreport {

int runKeptList() {
  fputs("cvreport: --kept is not available in this build\n", stderr);
  return 1;
}

}  // namespace cvreport
