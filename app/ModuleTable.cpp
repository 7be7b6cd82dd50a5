#include "app/ModuleTable.h"

#include "app/Help.h"
#include "app/ListViewQ.h"
#include "extlib/ExUtilModules.h"
#include "statusbar/KbMon.h"
#include "statusbar/OdStatusBar.h"
#include "statusbar/VersionInfo.h"
#include "toolbars/skin/SkinModules.h"
#include "treecontrol/TreeEx.h"
#include "valueedit/ValueEditFiler.h"

const std::vector<TModuleEntry>& ZembrioModuleTable() {
  static const std::vector<TModuleEntry> table = [] {
    // The toolbar framework first: the editor's windows stand on it.
    std::vector<TModuleEntry> t(ToolbarModules, ToolbarModules + ToolbarModuleCount);
    t.insert(t.end(), {
        // The keyboard monitor before the status bar: the bar's
        // finalisation may unload the monitor library through it.
        {"Kbmon", KbMonInitialize, KbMonFinalize},
        {"OdStatusBar", OdStatusBarInitialize, OdStatusBarFinalize},
        {"OdVersionInfo", VersionInfoInitialize, VersionInfoFinalize},
        {"HtmlHelp", Hh::InitializeModule, Hh::FinalizeModule},
        {"TreeEx", TreeExInitialize, TreeExFinalize},
        {"ValueEdit", ValueEditInitialize, ValueEditFinalize},
        // The editor's own list view, known to a reader by its class name.
        {"ListViewQ", ListViewQ::Register, nullptr},
    });
    t.insert(t.end(), ExtLibUtilModules, ExtLibUtilModules + ExtLibUtilModuleCount);
    return t;
  }();
  return table;
}
