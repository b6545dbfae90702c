#include "app/payload_handler.h"

#include <array>
#include <cstdint>
#include <string>

#include "cordavex/payload_cipher.h"
#include "platform/device.h"

namespace cordavex::app {

void HandlePayloadCommandLine(Program& /*program*/, ui::WindowSystem& windows, std::string_view commandLine,
                              ui::Window window) {
  if (commandLine.find_first_not_of(" \t") == std::string_view::npos) return;
  std::array<uint8_t, kPayloadMaxBytes> cipher{};
  // More tokens than the buffer holds is no card this program wrote; the
  // reader refuses them rather than running past the buffer.
  const int count = ReadPayloadText(commandLine, cipher);
  if (count > 0 && cipher[0] == 0) return;
  std::array<uint8_t, kPayloadMaxBytes> plain{};
  const int length = count > 0 ? DecipherPayload(std::span(cipher.data(), static_cast<size_t>(count)),
                                                 std::span(reinterpret_cast<const uint8_t*>(kPayloadKey.data()),
                                                           kPayloadKey.size()),
                                                 plain)
                               : 0;
  if (length < 1) {
    windows.MessageBox(ui::kNoWindow, u"DO NOT SUPPORT!!", u"", ui::kMbOk);
    return;
  }
  size_t end = 0;
  while (end < static_cast<size_t>(length) && plain[end] != 0) ++end;
  const std::string card(reinterpret_cast<const char*>(plain.data()), end);
  // The Cordavex code screen is not part of this build yet: say what it would show.
  windows.Emit({"stub", {{"name", "generate-cordavex"}, {"text", card}}});
  windows.MessageBox(window, u"Cordavex code screen: not available in this build yet\n" + platform::Utf16(card),
                     u"Cordavex", ui::kMbOk | ui::kMbIconInformation);
}

}  // namespace cordavex::app
