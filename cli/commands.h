// The command-line tool's commands. Each parses its own arguments (argv[0] is
// the command's name), returns the process exit status and reports a failure as
// one line on stderr.
#pragma once

namespace cordavex::cli {

int Main(int argc, char** argv);

int ScanCommand(int argc, char** argv);
int GenerateCommand(int argc, char** argv);
int ClassifyCommand(int argc, char** argv);
int PayloadCommand(int argc, char** argv);
int RegCommand(int argc, char** argv);

}  // namespace cordavex::cli
