#include "extlib/ExUtilModules.h"

#include "extlib/ExCalendar.h"
#include "extlib/ExCheckListBox.h"
#include "extlib/ExDateUtil.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExDateEdit.h"
#include "extlib/ExFileEdit.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExFormStorage.h"
#include "extlib/ExHook.h"
#include "extlib/ExPlacement.h"
#include "extlib/ExProgress.h"
#include "extlib/ExStrUtil.h"
#include "extlib/ExTimer.h"
#include "extlib/ExWinUtil.h"

const TModuleEntry ExtLibUtilModules[] = {
    {"extlib.StrUtil", &ExStrUtilInitialize, &ExStrUtilFinalize},
    {"extlib.DateUtil", &ExDateUtilInitialize, &ExDateUtilFinalize},
    {"extlib.WinUtil", &ExWinUtilInitialize, &ExWinUtilFinalize},
    {"extlib.DrawUtil", &ExDrawUtilInitialize, &ExDrawUtilFinalize},
    {"extlib.Timer", &ExTimerInitialize, &ExTimerFinalize},
    {"extlib.Hook", &ExHookInitialize, &ExHookFinalize},
    {"extlib.FileUtil", &ExFileUtilInitialize, &ExFileUtilFinalize},
    {"extlib.Progress", &ExProgressInitialize, &ExProgressFinalize},
    {"extlib.Placement", &ExPlacementInitialize, &ExPlacementFinalize},
    {"extlib.FormStorage", &ExFormStorageInitialize, &ExFormStorageFinalize},
    {"extlib.ToolEdit", &ExToolEditInitialize, &ExToolEditFinalize},
    {"extlib.DateEdit", &ExDateEditInitialize, &ExDateEditFinalize},
    {"extlib.CheckListBox", &ExCheckListBoxInitialize, &ExCheckListBoxFinalize},
    {"extlib.Calendar", &ExCalendarInitialize, &ExCalendarFinalize},
};
const size_t ExtLibUtilModuleCount = sizeof(ExtLibUtilModules) / sizeof(ExtLibUtilModules[0]);
