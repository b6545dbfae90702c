// Simplified Chinese (0x0804).
#include "resources/language_tables.h"
#include "resources/layouts.h"

namespace cordavex::resources {
namespace {

constexpr layout::LanguageTexts kTexts = {
    0x0804,
    {
        u"离开",      // exit
        u"菜单",      // menu
        u"关于",      // about
        u"帮助",      // help
        u"在线更新",  // online update
        u"浏览记录",  // browse history
        u"设置",      // settings
        u"个人信息",  // personal information
    },
    {
        u"设置",
        u"解码声音",
        u"瞄准框",
        u"自动记录\n(最多30条)",
        u"网页浏览器",
        u"可识别的条码种类",
        u"确认",
        u"取消",
    },
    {
        u"关于",
        u"版本 3.6",
        u"版权所有 © 2026\nCordavex 开发团队",
        u"确认",
    },
    {
        u"相机待机中...",
        u"相机已被其他程序使用中\n请退出内置相机或其他程序",
    },
};

}  // namespace

const ResourceModule kSimplifiedChineseModule = layout::Tables<kTexts>::kModule;

}  // namespace cordavex::resources
