// The JSON the page and the server exchange besides the snapshot itself: the
// input a page posts (checked strictly against what the screen offers), the
// events passed on to the page and the error answers.
//
// Plain functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/window_system.h"
#include "web/phone.h"

namespace cordavex::web {

// One input from the page: POST /input with one of
//   {"key": "up"|"down"|"left"|"right"|"enter"|"back"|"softleft"|"softright"|VK}
//   {"command": ID}              a softkey, menu or row command on the screen
//   {"click": ID}                a control of the top dialog
//   {"click": ID, "check": B}    ... only when its state differs from B
//   {"select": ROW}              a row of the list screen
//   {"answer": "ok"|"yes"|"no"|"cancel"}   the open message box
struct Input {
  enum class Kind { kKey, kCommand, kClick, kSelect, kAnswer };
  Kind kind = Kind::kKey;
  uint32_t value = 0;  // the virtual key, command or control id
  int row = 0;
  int answer = 0;      // ui::kIdOk ...
  std::optional<bool> check;
};

// Reads the body and checks it against the screen as `snapshot` shows it.
// False with a sentence for a person in *error; nothing is delivered then.
bool ParseInput(std::string_view body, std::string_view snapshot, Input* input, std::string* error);

// Hands the input to the phone's input calls.
void Deliver(const Input& input, Phone& phone);

// {"error": MESSAGE}
std::string ErrorJson(std::string_view message);

// {"event": NAME, FIELD: VALUE, ...}; text that is not UTF-8 is replaced, never
// fatal.
std::string EventJson(const ui::Event& event);

}  // namespace cordavex::web
