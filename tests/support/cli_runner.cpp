#include "support/cli_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace cordavex::test {

CliRun RunCli(const std::string& arguments) {
  const std::string errFile = "/tmp/cordavex_cli_stderr_" + std::to_string(getpid()) + ".txt";
  const std::string command = std::string(CORDAVEX_CLI_PATH) + " " + arguments + " 2>" + errFile;
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(errFile);
  std::stringstream err;
  err << in.rdbuf();
  run.err = err.str();
  std::remove(errFile.c_str());
  return run;
}

}  // namespace cordavex::test
