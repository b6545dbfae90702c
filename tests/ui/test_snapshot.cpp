// The snapshot's text conversion and the event lines.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ui/snapshot.h"

namespace cordavex::ui {
namespace {

TEST(UiSnapshot, TextBecomesUtf8AndUnpairedSurrogatesBecomeReplacements) {
  struct Case {
    std::u16string text;
    std::string utf8;
  };
  const Case cases[] = {
      {u"OK", "OK"},
      {u"設定", "\xE8\xA8\xAD\xE5\xAE\x9A"},
      {u"\u00E9", "\xC3\xA9"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},      // a surrogate pair
      {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD"},  // a high surrogate alone
      {std::u16string{u'\xDE00', u'a'}, "\xEF\xBF\xBD" "a"},  // a low surrogate first
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8FromUtf16(c.text), c.utf8);
}

TEST(UiSnapshot, EventsAreOneLineWithTheirNameFirst) {
  Event event{"launch", {{"program", "peghelp.exe"}, {"commandLine", "file:\\Windows\\a b.htm"}}};
  std::string line = EventJson(event);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.rfind("{\"event\":\"launch\"", 0), 0u);
  EXPECT_EQ(nlohmann::json::parse(line),
            nlohmann::json({{"event", "launch"}, {"program", "peghelp.exe"}, {"commandLine", "file:\\Windows\\a b.htm"}}));
}

TEST(UiSnapshot, NoWindowShowsNullsAndEmptyLists) {
  auto screen = nlohmann::json::parse(SnapshotJson(Screen{}));
  EXPECT_TRUE(screen["window"].is_null());
  EXPECT_TRUE(screen["dialog"].is_null());
  EXPECT_TRUE(screen["message"].is_null());
  EXPECT_EQ(screen["rows"], nlohmann::json::array());
  EXPECT_EQ(screen["selected"], -1);
  EXPECT_EQ(screen["softkeys"]["left"], nlohmann::json({{"text", ""}, {"command", 0}}));
}

}  // namespace
}  // namespace cordavex::ui
