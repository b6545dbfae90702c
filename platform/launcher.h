// Starting other programs. The phone would run the messaging program, a
// browser, the help viewer or a navigation program; here every start is
// written to "launches.log" in the device root, one line each:
//   2026-12-10T06:50:00Z<TAB>program<TAB>command line
// and a web address (http:, https:, file:) is also opened in the host's
// browser with xdg-open unless that is switched off. A "file:" address with a
// phone path ("file:\Windows\CordavexHelp_0404.htm") opens the file inside
// the device root. xdg-open runs on its own (Launch never waits for it) and
// its failure is no failure of Launch: the start is in the log either way.
//
// Safe from several threads as the device's AppendFile is. Borrows the device.
#pragma once

#include <string_view>

#include "platform/device.h"
#include "platform/status.h"

namespace cordavex::platform {

class Launcher {
 public:
  Launcher(Device& device, bool openHostBrowser);
  // Program and command line as the system gives them (UTF-16); tabs and line
  // breaks inside them are written as spaces so that one start stays one line.
  Status Launch(std::u16string_view program, std::u16string_view commandLine);

 private:
  Device& device_;
  bool openHostBrowser_;
};

}  // namespace cordavex::platform
