#include "run/session.h"

namespace cvreport {

ReportSession reportSession;

}  // namespace cvreport
