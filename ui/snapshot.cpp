#include "ui/snapshot.h"

#include <nlohmann/json.hpp>

namespace cordavex::ui {

namespace {

using json = nlohmann::ordered_json;

json Text(std::u16string_view text) { return Utf8FromUtf16(text); }

const char* IconName(uint32_t flags) {
  switch (flags & 0xF0) {
    case kMbIconQuestion: return "question";
    case kMbIconExclamation: return "exclamation";
    case kMbIconInformation: return "information";
    default: return nullptr;
  }
}

json Softkeys(const MenuBar& bar) {
  json menu = json::array();
  for (const MenuItem& item : bar.items) {
    menu.push_back({{"text", Text(item.text)}, {"command", item.command}, {"enabled", item.enabled}});
  }
  return {{"left", {{"text", Text(bar.leftText)}, {"command", bar.leftCommand}}},
          {"right", {{"text", Text(bar.rightText)}, {"command", bar.rightCommand}, {"menu", menu}}}};
}

}  // namespace

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // an unpaired surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

const char* ControlKindName(resources::ControlKind kind) {
  switch (kind) {
    case resources::ControlKind::kCheckBox: return "check-box";
    case resources::ControlKind::kRadioButton: return "radio-button";
    case resources::ControlKind::kLabel: return "label";
    case resources::ControlKind::kEdit: return "edit";
    case resources::ControlKind::kButton: return "button";
    case resources::ControlKind::kList: return "list";
    case resources::ControlKind::kPicture: return "picture";
  }
  return "unknown";
}

const char* AnswerName(int answer) {
  switch (answer) {
    case kIdOk: return "ok";
    case kIdCancel: return "cancel";
    case kIdYes: return "yes";
    case kIdNo: return "no";
    default: return "";
  }
}

std::string SnapshotJson(const Screen& screen) {
  json rows = json::array();
  for (const ListRow& row : screen.rows) {
    rows.push_back({{"label", Text(row.label)}, {"value", Text(row.value)}, {"command", row.command},
                    {"icon", row.icon}});
  }
  json controls = json::array();
  for (const Control& control : screen.controls) {
    controls.push_back({{"id", control.id}, {"kind", ControlKindName(control.kind)}, {"text", Text(control.text)},
                        {"checked", control.checked}, {"enabled", control.enabled}});
  }
  json message = nullptr;
  if (screen.message) {
    json buttons = json::array();
    for (int answer : screen.message->buttons) buttons.push_back(AnswerName(answer));
    const char* icon = IconName(screen.message->flags);
    message = {{"text", Text(screen.message->text)}, {"caption", Text(screen.message->caption)},
               {"buttons", buttons}, {"icon", icon ? json(icon) : json(nullptr)}};
  }
  json scroll = nullptr;
  if (screen.scroll) {
    scroll = {{"minimum", screen.scroll->minimum}, {"maximum", screen.scroll->maximum},
              {"page", screen.scroll->page}, {"position", screen.scroll->position}};
  }
  json out = {
      {"window", screen.window.empty() ? json(nullptr) : json(screen.window)},
      {"dialog", screen.dialog ? json(*screen.dialog) : json(nullptr)},
      {"title", Text(screen.title)},
      {"rows", rows},
      {"selected", screen.selected},
      {"controls", controls},
      {"softkeys", Softkeys(screen.softkeys)},
      {"message", message},
      {"menuOpen", screen.menuOpen},
      {"done", screen.done},
      {"menuSelected", screen.menuSelected},
      {"scroll", scroll},
      {"frame", screen.frame},
      {"stack", screen.stack},
  };
  return out.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string EventJson(const Event& event) {
  json out = {{"event", event.name}};
  for (const auto& [key, value] : event.fields) {
    if (key != "event") out[key] = value;
  }
  return out.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace cordavex::ui
