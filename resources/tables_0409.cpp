// English (0x0409).
#include "resources/language_tables.h"
#include "resources/layouts.h"

namespace cordavex::resources {
namespace {

constexpr layout::LanguageTexts kTexts = {
    0x0409,
    {
        u"Exit",
        u"Menu",
        u"About",
        u"Help",
        u"Online update",
        u"Browse history",
        u"Settings",
        u"Personal information",
    },
    {
        u"Settings",
        u"Decode sound",
        u"Aim frame",
        u"Auto record\n(at most 30)",
        u"Web browser",
        u"Symbologies recognised",
        u"OK",
        u"Cancel",
    },
    {
        u"About",
        u"Version 3.6",
        u"Copyright © 2026\nthe Cordavex developers",
        u"OK",
    },
    {
        u"Camera on standby...",
        u"The camera is in use by another program\nPlease close the built-in camera or that program",
    },
};

}  // namespace

const ResourceModule kEnglishModule = layout::Tables<kTexts>::kModule;

}  // namespace cordavex::resources
