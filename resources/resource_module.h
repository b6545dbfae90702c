// The program's user-interface resources — strings, softkey menu bars and
// dialog templates by numeric id — as the phone keeps them in a resource module:
// the program's own compiled-in module, or a language library
// ("Cordavex.0404.dll", "Cordavex.0409.dll", "Cordavex.0804.dll") loaded by name
// through platform/library_loader.h and asked for its tables.
//
// Every table is constant data with static storage: a module stays valid for as
// long as its library stays loaded (the program's own module for ever). Text is
// UTF-16, as in every user-interface call.
#pragma once

#include <cstdint>

namespace cordavex::resources {

enum class ControlKind : uint8_t {
  kCheckBox,
  kRadioButton,
  kLabel,
  kEdit,
  kButton,
  kList,     // rows of label, value, icon and command (list screens)
  kPicture,  // a static picture
};

enum ControlFlag : uint32_t {
  kControlDisabled = 1u << 0,
  kControlGroup = 1u << 1,      // first radio button of a group
  kControlChecked = 1u << 2,    // initial state of a check box or radio button
  kControlMultiline = 1u << 3,  // text holds line breaks ('\n')
};

struct ControlTemplate {
  uint32_t id;
  ControlKind kind;
  const char16_t* text;  // never null; u"" for none
  // Dialog units are pixels of a 240-wide screen; the front end scales.
  int16_t x, y, width, height;
  uint32_t flags;  // ControlFlag bits
};

struct DialogTemplate {
  uint32_t id;
  const char16_t* caption;
  const ControlTemplate* controls;  // in dialog (tab) order
  uint32_t controlCount;
  uint32_t menuBar;  // menu bar resource id, 0 for none
};

// One entry of a softkey's menu; command 0 is a separator.
struct MenuItemTemplate {
  uint32_t command;
  const char16_t* text;
};

// A menu bar of two softkeys. The left key runs its command; the right key
// runs its command when it has no items, otherwise it opens the menu.
struct MenuBarTemplate {
  uint32_t id;
  const char16_t* leftText;
  uint32_t leftCommand;
  const char16_t* rightText;
  uint32_t rightCommand;
  const MenuItemTemplate* items;
  uint32_t itemCount;
};

struct StringEntry {
  uint32_t id;
  const char16_t* text;
};

struct ResourceModule {
  uint16_t language;  // 0x0404, 0x0409, 0x0804
  const StringEntry* strings;
  uint32_t stringCount;
  const MenuBarTemplate* menuBars;
  uint32_t menuBarCount;
  const DialogTemplate* dialogs;
  uint32_t dialogCount;
};

// Null when the module has no such resource.
const char16_t* FindString(const ResourceModule& module, uint32_t id);
const MenuBarTemplate* FindMenuBar(const ResourceModule& module, uint32_t id);
const DialogTemplate* FindDialog(const ResourceModule& module, uint32_t id);

// The program's own resources, compiled into it: the stock Traditional Chinese
// text, the window class and title (strings 1 and 2), the About dialog 103
// with its menu bar 304, and everything a language library holds.
const ResourceModule& OwnModule();

// The name of the function every language library exports, and its type.
inline constexpr const char* kResourceModuleExport = "CordavexResourceModule";
using ResourceModuleFunction = const ResourceModule*();

}  // namespace cordavex::resources
