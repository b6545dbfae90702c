// Runs the built program with the scripted driver on a temporary device root,
// as a person would from a shell: a script on standard input, one JSON line
// per snapshot or event on standard output.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

extern char** environ;

namespace cordavex::test {

struct ProgramRun {
  int exitStatus = -1;
  std::vector<nlohmann::json> lines;  // every line of standard output, parsed
  std::string err;

  // Snapshots (lines with a "window" key that are no event: a foreground
  // event names its window too) and events named `name`.
  std::vector<nlohmann::json> Snapshots() const {
    std::vector<nlohmann::json> found;
    for (const auto& line : lines) {
      if (line.is_object() && line.contains("window") && !line.contains("event")) found.push_back(line);
    }
    return found;
  }
  std::vector<nlohmann::json> Events(const std::string& name) const {
    std::vector<nlohmann::json> found;
    for (const auto& line : lines) {
      if (line.value("event", "") == name) found.push_back(line);
    }
    return found;
  }
};

// A program started in the background; Finish waits for it.
class ProgramProcess {
 public:
  // `environment` entries ("NAME=value") are added to this process's own.
  ProgramProcess(const std::string& folder, const std::vector<std::string>& arguments, const std::string& script,
                 const std::vector<std::string>& environment = {}) {
    static int serial = 0;
    const std::string stem = folder + "/run" + std::to_string(++serial);
    scriptFile_ = stem + ".script";
    outFile_ = stem + ".out";
    errFile_ = stem + ".err";
    std::ofstream(scriptFile_) << script;

    std::vector<std::string> argv{CORDAVEX_PROGRAM_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argp;
    for (auto& a : argv) argp.push_back(a.data());
    argp.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, scriptFile_.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ProgramProcess() {
    if (pid_ > 0) Finish();
  }

  // The lines written so far.
  std::string Output() const {
    std::ifstream in(outFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  ProgramRun Finish() {
    ProgramRun run;
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
      run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
    }
    std::istringstream out(Output());
    for (std::string line; std::getline(out, line);) {
      if (line.empty()) continue;
      run.lines.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    std::ifstream err(errFile_);
    std::stringstream text;
    text << err.rdbuf();
    run.err = text.str();
    return run;
  }

 private:
  pid_t pid_ = -1;
  std::string scriptFile_, outFile_, errFile_;
};

inline ProgramRun RunProgram(const std::string& folder, const std::vector<std::string>& arguments,
                             const std::string& script, const std::vector<std::string>& environment = {}) {
  return ProgramProcess(folder, arguments, script, environment).Finish();
}

}  // namespace cordavex::test
