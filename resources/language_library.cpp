// The one export of a language library (libCordavex.0404.so and its
// siblings). Each library is built from this file with
// CORDAVEX_LANGUAGE_MODULE naming its table; everything else in it is hidden.
#include <type_traits>

#include "resources/language_tables.h"

extern "C" __attribute__((visibility("default"))) const cordavex::resources::ResourceModule*
CordavexResourceModule() {
  return &cordavex::resources::CORDAVEX_LANGUAGE_MODULE;
}

static_assert(std::is_same_v<decltype(CordavexResourceModule),
                             cordavex::resources::ResourceModuleFunction>);
