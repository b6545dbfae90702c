#include "ui/scripted_driver.h"

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ui/snapshot.h"

namespace cordavex::ui {

namespace {

// How long the driver waits for the program to take an input, and for the
// program to end after the close at the end of the script.
constexpr int32_t kTakeMilliseconds = 10000;
constexpr int32_t kCloseMilliseconds = 10000;
constexpr int32_t kDefaultWaitMilliseconds = 5000;

// What the listeners share with the script. Held by shared ownership: a
// notification already under way may reach a listener after it was removed.
struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::ostream* output = nullptr;  // null once the script has ended
  int failures = 0;
  uint64_t changes = 0;
  std::vector<std::string> events;  // names, in order of arrival
  size_t eventsSeen = 0;            // events before this index are older than the current wait

  // With the mutex held.
  void Print(const std::string& line) {
    if (output == nullptr) return;
    *output << line << '\n';
    output->flush();
  }
};

const std::map<std::string, uint32_t, std::less<>> kKeys = {
    {"up", kKeyUp},         {"down", kKeyDown},       {"left", kKeyLeft},   {"right", kKeyRight},
    {"enter", kKeyReturn},  {"back", kKeyBack},       {"escape", kKeyEscape},
    {"softleft", kKeySoftLeft}, {"softright", kKeySoftRight},
};

const std::map<std::string, int, std::less<>> kAnswers = {
    {"ok", kIdOk}, {"cancel", kIdCancel}, {"yes", kIdYes}, {"no", kIdNo}};

const std::map<std::string, uint32_t, std::less<>> kScrolls = {
    {"up", kScrollLineUp}, {"down", kScrollLineDown}, {"pageup", kScrollPageUp}, {"pagedown", kScrollPageDown}};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

class Script {
 public:
  Script(WindowSystem& system, std::ostream& output) : system_(system), shared_(std::make_shared<Shared>()) {
    shared_->output = &output;
    std::shared_ptr<Shared> shared = shared_;
    eventListener_ = system_.AddEventListener([shared](const Event& event) {
      std::lock_guard lock(shared->mutex);
      if (shared->output == nullptr) return;
      shared->Print(EventJson(event));
      if (event.name == "error") ++shared->failures;
      shared->events.push_back(event.name);
      shared->changed.notify_all();
    });
    changeListener_ = system_.AddChangeListener([shared] {
      std::lock_guard lock(shared->mutex);
      ++shared->changes;
      shared->changed.notify_all();
    });
  }

  ~Script() {
    system_.RemoveListener(eventListener_);
    system_.RemoveListener(changeListener_);
    std::lock_guard lock(shared_->mutex);
    shared_->output = nullptr;
  }

  int Run(std::istream& input) {
    std::string line;
    int number = 0;
    while (std::getline(input, line)) {
      ++number;
      if (system_.HasQuit()) return Failures();  // the program ended by itself
      std::istringstream words(line);
      std::vector<std::string> args;
      for (std::string word; words >> word;) args.push_back(word);
      if (args.empty() || args[0].starts_with('#')) continue;
      if (args[0] == "quit") break;
      Execute(number, line, args);
    }
    Close();
    return Failures();
  }

 private:
  int Failures() {
    std::lock_guard lock(shared_->mutex);
    return shared_->failures;
  }

  void Fail(int line, const std::string& command, const std::string& message) {
    Event event{"error", {{"line", std::to_string(line)}, {"command", command}, {"message", message}}};
    std::lock_guard lock(shared_->mutex);
    shared_->Print(EventJson(event));
    ++shared_->failures;
  }

  void Print(const std::string& text) {
    std::lock_guard lock(shared_->mutex);
    shared_->Print(text);
  }

  // After an input: on, once the program has taken it, so that what it
  // reports (a refusal) comes before what the next line does.
  void Taken(int line, const std::string& command) {
    if (!system_.WaitInputsTaken(kTakeMilliseconds)) {
      Fail(line, command, system_.HasQuit() ? "the program's loop has ended"
                                            : "the program did not take the input in time");
    }
  }

  void Execute(int line, const std::string& text, const std::vector<std::string>& args) {
    const std::string& verb = args[0];
    auto malformed = [&] { Fail(line, text, "malformed command"); };
    if (verb == "key" && args.size() == 2) {
      auto named = kKeys.find(args[1]);
      std::optional<uint32_t> key = named != kKeys.end() ? std::optional(named->second)
                                                         : ParseNumber<uint32_t>(args[1]);
      if (!key || *key == 0 || *key > 0xFF) return malformed();
      system_.PressKey(*key);
      Taken(line, text);
    } else if (verb == "command" && args.size() == 2) {
      auto command = ParseNumber<uint32_t>(args[1]);
      if (!command) return malformed();
      system_.ChooseCommand(*command);
      Taken(line, text);
    } else if (verb == "check" && args.size() == 3 && (args[2] == "on" || args[2] == "off")) {
      auto id = ParseNumber<uint32_t>(args[1]);
      if (!id) return malformed();
      system_.ClickControl(*id, args[2] == "on");
      Taken(line, text);
    } else if (verb == "click" && args.size() == 2) {
      auto id = ParseNumber<uint32_t>(args[1]);
      if (!id) return malformed();
      system_.ClickControl(*id);
      Taken(line, text);
    } else if (verb == "select" && args.size() == 2) {
      auto row = ParseNumber<int>(args[1]);
      if (!row) return malformed();
      system_.SelectRow(*row);
      Taken(line, text);
    } else if (verb == "scroll" && args.size() == 2) {
      auto code = kScrolls.find(args[1]);
      if (code != kScrolls.end()) {
        system_.Scroll(code->second);
      } else if (auto position = ParseNumber<int32_t>(args[1]); position && *position >= 0) {
        system_.Scroll(kScrollThumbTrack, *position);
      } else {
        return malformed();
      }
      Taken(line, text);
    } else if (verb == "answer" && args.size() == 2) {
      auto answer = kAnswers.find(args[1]);
      if (answer == kAnswers.end()) return malformed();
      system_.Answer(answer->second);
      Taken(line, text);
    } else if (verb == "wait" && (args.size() == 2 || args.size() == 3)) {
      std::optional<int32_t> milliseconds = kDefaultWaitMilliseconds;
      if (args.size() == 3) milliseconds = ParseNumber<int32_t>(args[2]);
      if (!milliseconds || *milliseconds < 0) return malformed();
      Wait(line, text, args[1], *milliseconds);
    } else if (verb == "sleep" && args.size() == 2) {
      auto milliseconds = ParseNumber<int32_t>(args[1]);
      if (!milliseconds || *milliseconds < 0) return malformed();
      std::this_thread::sleep_for(std::chrono::milliseconds(*milliseconds));
    } else if (verb == "snapshot" && args.size() == 1) {
      Print(system_.Snapshot());
    } else if (kKnownVerbs.contains(verb)) {
      malformed();
    } else {
      Fail(line, text, "unknown command");
    }
  }

  // Until the top window is `kind` (the snapshot is printed) or an event of
  // that name has come since the last wait ended (it was printed when it came).
  void Wait(int line, const std::string& text, const std::string& kind, int32_t milliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(shared_->mutex);
    std::string failure;
    while (true) {
      for (size_t i = shared_->eventsSeen; i < shared_->events.size(); ++i) {
        if (shared_->events[i] == kind) {
          shared_->eventsSeen = shared_->events.size();
          return;
        }
      }
      if (system_.TopKind() == kind) {
        shared_->eventsSeen = shared_->events.size();
        shared_->Print(system_.Snapshot());
        return;
      }
      // A failure is reported only after one more look at the screen and the
      // events, which may have come with the timeout.
      if (!failure.empty()) break;
      if (system_.HasQuit()) {
        failure = "the program's loop has ended";
      } else if (shared_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
        failure = "timed out after " + std::to_string(milliseconds) + " ms";
      }
    }
    shared_->eventsSeen = shared_->events.size();
    lock.unlock();
    Fail(line, text, failure);
  }

  // The end of the script closes the program, as the system's close would.
  void Close() {
    if (system_.HasQuit()) return;
    system_.RequestClose();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseMilliseconds);
    std::unique_lock lock(shared_->mutex);
    while (!system_.HasQuit()) {
      if (shared_->changed.wait_until(lock, deadline) == std::cv_status::timeout && !system_.HasQuit()) {
        lock.unlock();
        Fail(0, "quit", "the program did not end after the close");
        return;
      }
    }
  }

  inline static const std::set<std::string, std::less<>> kKnownVerbs = {
      "key", "command", "check", "click", "select", "scroll", "answer", "wait", "sleep", "snapshot"};

  WindowSystem& system_;
  std::shared_ptr<Shared> shared_;
  int eventListener_ = 0, changeListener_ = 0;
};

}  // namespace

int RunScript(WindowSystem& system, std::istream& input, std::ostream& output) {
  Script script(system, output);
  return script.Run(input);
}

}  // namespace cordavex::ui
