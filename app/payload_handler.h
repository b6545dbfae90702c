// The command line another program starts this one with: a contact card,
// enciphered and written as hexadecimal bytes by the Contacts extension. The
// card is shown as a generated Cordavex code.
#pragma once

#include <string_view>

#include "ui/window_system.h"

namespace cordavex::app {

class Program;

// Does nothing for an empty command line or a payload whose first byte is 0;
// a payload that does not decipher shows "DO NOT SUPPORT!!".
void HandlePayloadCommandLine(Program& program, ui::WindowSystem& windows, std::string_view commandLine,
                              ui::Window window);

}  // namespace cordavex::app
