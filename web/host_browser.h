// Opening the page in the host's browser.
#pragma once

#include <string>

namespace cordavex::web {

// Asks xdg-open to show `address` and returns at once: the opener runs in the
// background with its output discarded, its exit unwatched. False when it
// could not be started.
bool OpenInHostBrowser(const std::string& address);

}  // namespace cordavex::web
