#include "toolbars/BarFiler.h"

#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"

namespace BarFiler {

void RegisterClasses() {
  static const bool done = [] {
    Register<TBarItem>(L"TBarItem");
    Register<TBarRootItem>(L"TBarRootItem");
    Register<TBarGroupItem>(L"TBarGroupItem");
    Register<TBarSubmenuItem>(L"TBarSubmenuItem");
    Register<TBarSeparatorItem>(L"TBarSeparatorItem");
    Register<TBarControlItem>(L"TBarControlItem");
    Register<TBarEditItem>(L"TBarEditItem");
    Register<TBarEditAction>(L"TBarEditAction");
    Register<TBarVisibilityToggleItem>(L"TBarVisibilityToggleItem");
    Register<TBarMRUListItem>(L"TBarMRUListItem");
    Register<TBarMRUList>(L"TBarMRUList");
    Register<TBarItemContainer>(L"TBarItemContainer");
    Register<TBarPopupMenu>(L"TBarPopupMenu");
    Register<TBarToolbar>(L"TBarToolbar");
    Register<TBarToolWindow>(L"TBarToolWindow");
    Register<TBarDock>(L"TBarDock");
    Register<TBarBackground>(L"TBarBackground");
    Register<TBarImageList>(L"TBarImageList");
    return true;
  }();
  (void)done;
}

}  // namespace BarFiler
