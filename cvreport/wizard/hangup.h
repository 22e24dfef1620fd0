// The wizard's terminal may go away under it: a dropped ssh session, a
// closed terminal window. The kernel tells the session's leader alone, so a
// wizard whose shell is already gone hears nothing, and newt, reading end
// of file, would wait for keys on the dead terminal for ever, a processor
// busy the whole time. A hangup here ends the wizard as SIGHUP does: at
// once on a page waiting for keys; through the run's own interrupted
// ending (collector stopped, files removed or kept, the line logged) while
// a check, a collection or an upload runs.
#pragma once

namespace cvreport {

// Starts the thread that waits for the terminal to hang up and then sends
// SIGHUP to cvreport. Its signals stay blocked, so that the signal cuts
// short the waits of the thread that runs the pages.
void watchTerminalHangup();

// Whether the terminal has hung up; if so SIGHUP is raised first (unless a
// signal already interrupted the run, which is then ending), so that the
// caller goes on only while a run watches for it. newt's calls that
// flush typed keys, and a form that ended in an error, look here first:
// they would read end of file without end.
bool terminalHungUp();

}  // namespace cvreport
