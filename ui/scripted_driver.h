// The scripted driver: a front end that reads commands, one per line, and
// writes one JSON object per line — a snapshot or an event — so that tests and
// people can run the program without a screen.
//
//   key NAME              up down left right enter back escape softleft
//                         softright, or a virtual key number (199)
//   command ID            a menu or softkey command of the top window
//   check ID on|off       click the control when its state differs
//   click ID              click the control
//   select ROW            select a row of a list screen
//   scroll up|down|pageup|pagedown|N   scroll the top window (N: thumb position)
//   answer ok|yes|no|cancel   answer the top message box
//   wait KIND [MS]        until the top window is KIND ("main", "settings",
//                         "message-box", ...), which prints that snapshot, or
//                         until an event named KIND has come since the last
//                         wait ended (it was printed when it came, once);
//                         default 5000 ms; an error event on timeout
//   sleep MS              real time, for the camera
//   snapshot              prints the snapshot
//   quit                  closes the program as the system's close would
//   # ...                 a comment; blank lines are skipped
//
// Every event the program emits is printed as it happens, from whichever
// thread emits it (lines never interleave). After each input the driver goes
// on once the program has taken it, so a refusal's error event comes before
// the next line's output. An unknown or malformed command prints an error
// event naming the line and the script goes on. Every error event printed
// counts as a failure: the driver's own, the inputs the top window refused,
// and any the program emits.
#pragma once

#include <istream>
#include <ostream>

#include "ui/window_system.h"

namespace cordavex::ui {

// Runs the script on the calling thread (not the UI thread) until "quit" or
// the end of the input, which both close the program (and wait up to 10 s for
// its loop to end), or until the program's loop ends by itself, which the
// driver notices before running the next line it reads (a read already
// waiting on the input is not interrupted). Returns the number of failures
// (timeouts, unknown commands, inputs the top window refused, error events).
int RunScript(WindowSystem& system, std::istream& input, std::ostream& output);

}  // namespace cordavex::ui
