// Traditional Chinese (0x0404): the stock text of the program, and its own
// compiled-in resources.
#include "resources/language_tables.h"
#include "resources/layouts.h"

namespace cordavex::resources {
namespace {

constexpr layout::LanguageTexts kTexts = {
    0x0404,
    {
        u"離開",      // exit
        u"功能表",    // menu
        u"關於",      // about
        u"說明",      // help
        u"線上更新",  // online update
        u"瀏覽紀錄",  // browse history
        u"設定",      // settings
        u"個人資訊",  // personal information
    },
    {
        u"設定",
        u"解碼聲音",
        u"瞄準框",
        u"自動紀錄\n(最多30筆)",
        u"網頁瀏覽器",
        u"可辨識的條碼種類",
        u"確認",
        u"取消",
    },
    {
        u"關於",
        u"版本 3.6",
        u"版權所有 © 2026\nCordavex 開發團隊",
        u"確認",
    },
    {
        u"相機待機中...",
        u"相機已被其他程式使用中\n請退出內建相機或其他程式",
    },
};

}  // namespace

const ResourceModule kTraditionalChineseModule = layout::Tables<kTexts>::kModule;

}  // namespace cordavex::resources
