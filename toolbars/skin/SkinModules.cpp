#include "toolbars/skin/SkinModules.h"

#include "toolbars/BarAnimation.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarHooks.h"
#include "toolbars/BarViews.h"
#include "toolbars/skin/SkinFiler.h"
#include "toolbars/skin/SkinThemes.h"
#include "toolbars/skin/SkinUtils.h"

namespace {
void EndAnyAnimation() { BarEndAnimation(nullptr); }
}  // namespace

const TModuleEntry ToolbarModules[] = {
    {"toolbars.Hooks", nullptr, &UninstallAllHookProcs},
    {"toolbars.Animation", nullptr, &EndAnyAnimation},
    {"toolbars.Views", nullptr, &BarFreeToolbarFont},
    {"toolbars.Classes", &BarFiler::RegisterClasses, nullptr},
    {"skin.Utils", &InitSkinUtils, &FreeSkinUtils},
    {"skin.Themes", nullptr, &FinalizeSkin},
    {"skin.Classes", &RegisterSkinClasses, nullptr},
};
const size_t ToolbarModuleCount = sizeof(ToolbarModules) / sizeof(ToolbarModules[0]);
