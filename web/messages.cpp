#include "web/messages.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

namespace cordavex::web {

namespace {

using nlohmann::json;

struct KeyName {
  const char* name;
  uint32_t virtualKey;
};
// The scripted driver's key names.
constexpr std::array<KeyName, 8> kKeys{{
    {"up", ui::kKeyUp},
    {"down", ui::kKeyDown},
    {"left", ui::kKeyLeft},
    {"right", ui::kKeyRight},
    {"enter", ui::kKeyReturn},
    {"back", ui::kKeyBack},
    {"softleft", ui::kKeySoftLeft},
    {"softright", ui::kKeySoftRight},
}};

struct AnswerName {
  const char* name;
  int answer;
};
constexpr std::array<AnswerName, 4> kAnswers{{
    {"ok", ui::kIdOk}, {"yes", ui::kIdYes}, {"no", ui::kIdNo}, {"cancel", ui::kIdCancel}}};

std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// An integer member within [low, high]; false with a message otherwise.
bool ReadInteger(const json& value, const char* name, int64_t low, int64_t high, int64_t* out,
                 std::string* error) {
  if (!value.is_number_integer()) {
    *error = std::string("\"") + name + "\" must be a whole number";
    return false;
  }
  // An unsigned number is kept apart: one above INT64_MAX must not wrap.
  const bool inRange = value.is_number_unsigned()
                           ? value.get<uint64_t>() <= static_cast<uint64_t>(high) && high >= 0 &&
                                 static_cast<int64_t>(value.get<uint64_t>()) >= low
                           : value.get<int64_t>() >= low && value.get<int64_t>() <= high;
  if (!inRange) {
    *error = std::string("\"") + name + "\" must be from " + std::to_string(low) + " to " + std::to_string(high);
    return false;
  }
  *out = value.get<int64_t>();
  return true;
}

const json* Member(const json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

bool HasCommand(const json& item, uint32_t command, bool checkEnabled) {
  const json* value = Member(item, "command");
  if (value == nullptr || !value->is_number_integer() || value->get<int64_t>() != command) return false;
  if (!checkEnabled) return true;
  const json* enabled = Member(item, "enabled");
  return enabled == nullptr || !enabled->is_boolean() || enabled->get<bool>();
}

// Whether the screen offers the command: a softkey, an enabled item of the
// right key's menu, or a row's command.
bool OffersCommand(const json& screen, uint32_t command) {
  if (const json* softkeys = Member(screen, "softkeys")) {
    for (const char* side : {"left", "right"}) {
      const json* key = Member(*softkeys, side);
      if (key == nullptr) continue;
      if (HasCommand(*key, command, false)) return true;
      if (const json* menu = Member(*key, "menu"); menu != nullptr && menu->is_array()) {
        for (const json& item : *menu) {
          if (HasCommand(item, command, true)) return true;
        }
      }
    }
  }
  if (const json* rows = Member(screen, "rows"); rows != nullptr && rows->is_array()) {
    for (const json& row : *rows) {
      if (HasCommand(row, command, false)) return true;
    }
  }
  return false;
}

const json* FindControl(const json& screen, uint32_t id) {
  const json* controls = Member(screen, "controls");
  if (controls == nullptr || !controls->is_array()) return nullptr;
  for (const json& control : *controls) {
    const json* value = Member(control, "id");
    if (value != nullptr && value->is_number_integer() && value->get<int64_t>() == id) return &control;
  }
  return nullptr;
}

}  // namespace

bool ParseInput(std::string_view body, std::string_view snapshot, Input* input, std::string* error) {
  const json request = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (request.is_discarded()) {
    *error = "the body is not JSON";
    return false;
  }
  if (!request.is_object()) {
    *error = "the body must be a JSON object";
    return false;
  }
  const char* action = nullptr;
  for (const auto& [name, value] : request.items()) {
    (void)value;
    const bool isAction = name == "key" || name == "command" || name == "click" || name == "select" ||
                          name == "answer";
    if (!isAction && name != "check") {
      *error = "unknown member \"" + name + "\"";
      return false;
    }
    if (isAction) {
      if (action != nullptr) {
        *error = "one input at a time: \"" + std::string(action) + "\" and \"" + name + "\" together";
        return false;
      }
      action = name == "key" ? "key" : name == "command" ? "command" : name == "click" ? "click"
             : name == "select" ? "select" : "answer";
    }
  }
  if (action == nullptr) {
    *error = "no input: give one of \"key\", \"command\", \"click\", \"select\", \"answer\"";
    return false;
  }
  if (request.contains("check") && std::string_view(action) != "click") {
    *error = "\"check\" goes only with \"click\"";
    return false;
  }

  // Checked against the screen the page saw; the window model checks again
  // when the input reaches the top window.
  json screen = json::parse(snapshot, nullptr, false);
  if (screen.is_discarded()) screen = json::object();

  const json& value = request.at(action);
  const std::string_view name = action;
  int64_t number = 0;
  if (name == "key") {
    input->kind = Input::Kind::kKey;
    if (value.is_string()) {
      const std::string& text = value.get_ref<const std::string&>();
      for (const KeyName& key : kKeys) {
        if (text == key.name) {
          input->value = key.virtualKey;
          return true;
        }
      }
      *error = "unknown key \"" + text + "\"";
      return false;
    }
    if (!ReadInteger(value, "key", 1, 254, &number, error)) return false;
    input->value = static_cast<uint32_t>(number);
    return true;
  }
  if (name == "command") {
    input->kind = Input::Kind::kCommand;
    if (!ReadInteger(value, "command", 1, 65535, &number, error)) return false;
    if (!OffersCommand(screen, static_cast<uint32_t>(number))) {
      *error = "command " + std::to_string(number) + " is not offered on the screen";
      return false;
    }
    input->value = static_cast<uint32_t>(number);
    return true;
  }
  if (name == "click") {
    input->kind = Input::Kind::kClick;
    if (!ReadInteger(value, "click", 1, 65535, &number, error)) return false;
    if (const auto check = request.find("check"); check != request.end()) {
      if (!check->is_boolean()) {
        *error = "\"check\" must be true or false";
        return false;
      }
      input->check = check->get<bool>();
    }
    const json* control = FindControl(screen, static_cast<uint32_t>(number));
    if (control == nullptr) {
      *error = "control " + std::to_string(number) + " is not on the screen";
      return false;
    }
    if (const json* enabled = Member(*control, "enabled"); enabled != nullptr && enabled->is_boolean() &&
                                                          !enabled->get<bool>()) {
      *error = "control " + std::to_string(number) + " is disabled";
      return false;
    }
    input->value = static_cast<uint32_t>(number);
    return true;
  }
  if (name == "select") {
    input->kind = Input::Kind::kSelect;
    const json* rows = Member(screen, "rows");
    const int64_t count = rows != nullptr && rows->is_array() ? static_cast<int64_t>(rows->size()) : 0;
    if (count == 0) {
      *error = "the screen has no rows to select";
      return false;
    }
    if (!ReadInteger(value, "select", 0, count - 1, &number, error)) return false;
    input->row = static_cast<int>(number);
    return true;
  }
  input->kind = Input::Kind::kAnswer;
  if (!value.is_string()) {
    *error = "\"answer\" must be \"ok\", \"yes\", \"no\" or \"cancel\"";
    return false;
  }
  const json* message = Member(screen, "message");
  if (message == nullptr || !message->is_object()) {
    *error = "no message box is open";
    return false;
  }
  const std::string& text = value.get_ref<const std::string&>();
  for (const AnswerName& answer : kAnswers) {
    if (text != answer.name) continue;
    // A box lists the buttons it shows; it takes no other answer.
    if (const json* buttons = Member(*message, "buttons"); buttons != nullptr && buttons->is_array()) {
      if (std::find(buttons->begin(), buttons->end(), json(text)) == buttons->end()) {
        *error = "the message box has no \"" + text + "\" button";
        return false;
      }
    }
    input->answer = answer.answer;
    return true;
  }
  *error = "unknown answer \"" + text + "\"";
  return false;
}

void Deliver(const Input& input, Phone& phone) {
  switch (input.kind) {
    case Input::Kind::kKey:
      phone.PressKey(input.value);
      break;
    case Input::Kind::kCommand:
      phone.ChooseCommand(input.value);
      break;
    case Input::Kind::kClick:
      phone.ClickControl(input.value, input.check);
      break;
    case Input::Kind::kSelect:
      phone.SelectRow(input.row);
      break;
    case Input::Kind::kAnswer:
      phone.Answer(input.answer);
      break;
  }
}

std::string ErrorJson(std::string_view message) {
  return Dump(json{{"error", std::string(message)}});
}

std::string EventJson(const ui::Event& event) {
  json object = json::object();
  object["event"] = event.name;
  for (const auto& [name, value] : event.fields) {
    if (name != "event") object[name] = value;
  }
  return Dump(object);
}

}  // namespace cordavex::web
