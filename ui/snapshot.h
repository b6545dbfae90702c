// The screen snapshot: what the top window shows, as plain data and as the one
// JSON object per screen that the front ends draw and the scripted driver
// prints. The keys are fixed (front ends and stored scripts read them): keys
// may be added, never renamed.
//
//   {"window": KIND or null, "dialog": ID or null, "title": TEXT,
//    "rows": [{"label", "value", "command", "icon"}], "selected": N,
//    "controls": [{"id", "kind", "text", "checked", "enabled"}],
//    "softkeys": {"left": {"text", "command"},
//                 "right": {"text", "command", "menu": [{"text", "command", "enabled"}]}},
//    "message": {"text", "caption", "buttons": ["ok", ...], "icon"} or null,
//    "menuOpen": BOOL, "menuSelected": N, "scroll": {"minimum", "maximum", "page",
//    "position"} or null, "frame": VERSION, "stack": [KIND, ...]}
//
// KIND is the window's kind (WindowDescription::kind), the dialog's kind given to
// DialogBox, or "message-box". "stack" lists the kinds of the shown windows
// from the bottom to the top. Control kinds are "check-box", "radio-button",
// "label", "edit", "button", "list" and "picture"; a menu separator is an entry
// with command 0. Text is UTF-16 inside and UTF-8 in the JSON (an unpaired
// surrogate becomes U+FFFD).
//
// Plain functions of their arguments; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/window_system.h"

namespace cordavex::ui {

struct ScrollState {
  int32_t minimum = 0, maximum = 0, page = 0, position = 0;
};

struct MessageView {
  std::u16string text, caption;
  std::vector<int> buttons;  // kIdOk, kIdCancel, kIdYes, kIdNo in the order shown
  uint32_t flags = 0;
};

struct Screen {
  std::string window;  // empty: no window is shown (null in the JSON)
  std::optional<uint32_t> dialog;
  std::u16string title;
  std::vector<ListRow> rows;
  int selected = -1;
  std::vector<Control> controls;  // the visible ones
  MenuBar softkeys;
  bool done = false;  // a Done button (command 1) besides the softkeys
  bool menuOpen = false;
  int menuSelected = -1;  // the highlighted menu item while the menu is open
  std::optional<MessageView> message;
  std::optional<ScrollState> scroll;
  uint64_t frame = 0;  // the frame buffer's version
  std::vector<std::string> stack;
};

std::string SnapshotJson(const Screen& screen);
// {"event": NAME, FIELD: VALUE, ...} on one line.
std::string EventJson(const Event& event);

const char* ControlKindName(resources::ControlKind kind);
// "ok", "cancel", "yes", "no" (the scripted driver's answer words); "" otherwise.
const char* AnswerName(int answer);
std::string Utf8FromUtf16(std::u16string_view text);

}  // namespace cordavex::ui
