#include "toolbars/BarFiler.h"

#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"

namespace BarFiler {

void DefineDockableWindowEvents(TFiler* Filer, TBarCustomDockableWindow* W) {
  auto* a = dynamic_cast<TBarCustomDockableWindow*>(Filer->GetAncestor());
  Event(Filer, L"OnClose", W->OnClose, a ? &a->OnClose : nullptr);
  Event(Filer, L"OnCloseQuery", W->OnCloseQuery, a ? &a->OnCloseQuery : nullptr);
  Event(Filer, L"OnDockChanged", W->OnDockChanged, a ? &a->OnDockChanged : nullptr);
  Event(Filer, L"OnDockChanging", W->OnDockChanging, a ? &a->OnDockChanging : nullptr);
  Event(Filer, L"OnDockChangingHidden", W->OnDockChangingHidden, a ? &a->OnDockChangingHidden : nullptr);
  Event(Filer, L"OnMove", W->OnMove, a ? &a->OnMove : nullptr);
  Event(Filer, L"OnRecreated", W->OnRecreated, a ? &a->OnRecreated : nullptr);
  Event(Filer, L"OnRecreating", W->OnRecreating, a ? &a->OnRecreating : nullptr);
  Event(Filer, L"OnVisibleChanged", W->OnVisibleChanged, a ? &a->OnVisibleChanged : nullptr);
}

void DefineDockEvents(TFiler* Filer, TBarDock* Dock) {
  auto* a = dynamic_cast<TBarDock*>(Filer->GetAncestor());
  Event(Filer, L"OnInsertRemoveBar", Dock->OnInsertRemoveBar, a ? &a->OnInsertRemoveBar : nullptr);
  Event(Filer, L"OnRequestDock", Dock->OnRequestDock, a ? &a->OnRequestDock : nullptr);
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
    // Making one of these touches nothing else: each is written against a
    // new one, so that what its constructor sets (a toolbar's and a dock's
    // colour, an edit action's DisableIfNoHandler) is not written while
    // unchanged, and a value the class library's default stands for (a
    // toolbar made clWindow) is.
    CompareWithNewComponents({L"TBarEditAction", L"TBarToolbar", L"TBarToolWindow", L"TBarDock"});
    return true;
  }();
  (void)done;
}

}  // namespace BarFiler
