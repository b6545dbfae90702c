// The three languages' resource tables, constant data defined in
// tables_0404.cpp, tables_0409.cpp and tables_0804.cpp. The Traditional
// Chinese table is also the program's own module (OwnModule()); each language
// library returns one of them from its CordavexResourceModule export.
#pragma once

#include "resources/resource_module.h"

namespace cordavex::resources {

extern const ResourceModule kTraditionalChineseModule;  // 0x0404, the stock text
extern const ResourceModule kEnglishModule;             // 0x0409
extern const ResourceModule kSimplifiedChineseModule;   // 0x0804

}  // namespace cordavex::resources
