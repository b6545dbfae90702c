// The scripted driver: a front end that reads commands, one per line, and
// writes one JSON object per line — a snapshot or an event — so that tests and
// people can run the program without a screen.
//
//   key NAME              up down left right enter back softleft softright, or a
//                         virtual key number (199)
//   command ID            a menu or softkey command of the top window
//   check ID on|off       click the control when its state differs
//   click ID              click the control
//   select ROW            select a row of a list screen
//   answer ok|yes|no|cancel   answer the top message box
//   wait KIND [MS]        until the top window is KIND ("main", "settings",
//                         "message-box", ...) or an event named KIND arrives
//                         (default 5000 ms); prints that snapshot or event, or an
//                         error event on timeout
//   sleep MS              real time, for the camera
//   snapshot              prints the snapshot
//   quit                  closes the program as the system's close would
//   # ...                 a comment; blank lines are skipped
//
// Every event the program emits is printed as it happens. An unknown command
// prints an error event naming the line and the script goes on.
#pragma once

#include <istream>
#include <ostream>

#include "ui/window_system.h"

namespace cordavex::ui {

// Runs the script on the calling thread (not the UI thread) until "quit" or
// the end of the input, which both close the program, or until the program's
// loop ends by itself. Returns the number of failed commands (timeouts,
// unknown commands, inputs the top window refused).
int RunScript(WindowSystem& system, std::istream& input, std::ostream& output);

}  // namespace cordavex::ui
