#include "toolbars/BarFiler.h"

#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"

namespace BarFiler {

void Link(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base,
          const std::function<void(TComponent*)>& Set, bool Stored) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { R->ReadReference(Set); }, [&](TWriter* W) { W->WriteReference(Value); },
      Stored && Value != Base);
}

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
