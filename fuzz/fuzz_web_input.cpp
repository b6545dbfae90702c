// The web front end's inputs: any bytes as a POST /input body, checked against
// any bytes as the screen's snapshot (the input is split at its first NUL; with
// none, a main-window snapshot is used). An accepted input must be one the
// screen offers; a refused one must say why. The error and event answers must
// be JSON whatever text they carry.
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "web/messages.h"

namespace {

constexpr std::string_view kMainWindow =
    R"({"window":"main","softkeys":{"left":{"text":"Zoom","command":40001},)"
    R"("right":{"text":"Menu","menu":[{"text":"Settings","command":40010,"enabled":true},)"
    R"({"text":"Exit","command":40020,"enabled":false}]}},)"
    R"("controls":[{"id":40170,"kind":"check","checked":true,"enabled":false},{"id":1,"kind":"button"}],)"
    R"("rows":[{"text":"a","command":7}],"message":{"text":"?","buttons":["ok","cancel"]}})";

bool IsJson(const std::string& text) {
  return !nlohmann::json::parse(text, nullptr, false).is_discarded();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view snapshot = split == std::string_view::npos ? kMainWindow : input.substr(0, split);
  const std::string_view body = split == std::string_view::npos ? input : input.substr(split + 1);

  cordavex::web::Input parsed;
  std::string error;
  if (!cordavex::web::ParseInput(body, snapshot, &parsed, &error)) {
    if (error.empty()) __builtin_trap();  // a refusal says why
    if (!IsJson(cordavex::web::ErrorJson(error))) __builtin_trap();
  }

  cordavex::ui::Event event;
  event.name = std::string(body.substr(0, body.size() / 2));
  event.fields.emplace_back(std::string(snapshot.substr(0, 16)), std::string(body.substr(body.size() / 2)));
  event.fields.emplace_back("event", "shadowed");
  if (!IsJson(cordavex::web::EventJson(event))) __builtin_trap();
  return 0;
}
