// Runs the built `cordavex` binary the way a user would and captures what it
// prints and how it exits.
#pragma once

#include <string>

namespace cordavex::test {

struct CliRun {
  int exitStatus = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// `arguments` is appended to the binary's path and run by the shell.
CliRun RunCli(const std::string& arguments);

}  // namespace cordavex::test
