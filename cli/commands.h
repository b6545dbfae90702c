// The command-line tool's commands. Each returns the process exit status and
// reports failures as one line on stderr.
#pragma once

namespace cordavex::cli {

int Main(int argc, char** argv);

}  // namespace cordavex::cli
