// The program's entry on Linux: the command line, the device root, the
// profile, the single-instance check and the front end around the program.
//
//   Cordavex [--device-root DIR] [--ui web|script] [--port N] [--no-browser]
//            [--camera SOURCE] [COMMAND-LINE]
#pragma once

#include <iosfwd>
#include <string>

namespace cordavex::app {

struct EntryOptions {
  std::string deviceRoot;  // empty: the default device root
  std::string ui = "web";
  int port = 0;
  bool noBrowser = false;
  std::string camera = "clip";
  std::string commandLine;  // the remaining words, joined by blanks
};

// Parses the arguments; false with a one-line message in *error.
bool ParseEntryOptions(int argc, char** argv, EntryOptions* options, std::string* error);

// Runs the program; the process exit status. The scripted driver reads
// `input` and writes `output`.
int RunEntry(const EntryOptions& options, std::istream& input, std::ostream& output, std::ostream& errors);

int Main(int argc, char** argv);

}  // namespace cordavex::app
