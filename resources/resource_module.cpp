#include "resources/resource_module.h"

#include "resources/language_tables.h"

namespace cordavex::resources {

// The tables hold a handful of entries each: a linear search is all they need.

const char16_t* FindString(const ResourceModule& module, uint32_t id) {
  for (uint32_t i = 0; i < module.stringCount; ++i) {
    if (module.strings[i].id == id) return module.strings[i].text;
  }
  return nullptr;
}

const MenuBarTemplate* FindMenuBar(const ResourceModule& module, uint32_t id) {
  for (uint32_t i = 0; i < module.menuBarCount; ++i) {
    if (module.menuBars[i].id == id) return &module.menuBars[i];
  }
  return nullptr;
}

const DialogTemplate* FindDialog(const ResourceModule& module, uint32_t id) {
  for (uint32_t i = 0; i < module.dialogCount; ++i) {
    if (module.dialogs[i].id == id) return &module.dialogs[i];
  }
  return nullptr;
}

const ResourceModule& OwnModule() { return kTraditionalChineseModule; }

}  // namespace cordavex::resources
