// Stand-ins for the phone services that the core asks of its platform.
//
// Each query is cheap and thread-safe (it reads the environment or the process's
// own file system entries; nothing is cached that could go stale).
#pragma once

#include <cstdint>
#include <string>

namespace cordavex::platform {

// The device's UI language id (0x0404 Traditional Chinese, 0x0409 English, ...).
// Read from CORDAVEX_UI_LANGUAGE as hexadecimal ("0404", "0x0409"); 0x0404 when
// unset or unreadable.
uint16_t GetUserDefaultUILanguage();

// Folder of the running program, without a trailing slash ("" if unknown).
std::string ProgramFolder();

}  // namespace cordavex::platform
