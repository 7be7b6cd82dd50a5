#include "toolbars/BarFiler.h"

#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"

namespace BarFiler {

void DefineActionProperties(TFiler* Filer, TCustomAction* Action) {
  auto* a = dynamic_cast<TCustomAction*>(Filer->GetAncestor());
  TAction fresh(nullptr);
  const TCustomAction& b = a ? *a : fresh;
  TCustomAction* s = Action;
  Boolean(Filer, L"AutoCheck", s->GetAutoCheck(), b.GetAutoCheck(), [s](bool v) { s->SetAutoCheck(v); });
  Text(Filer, L"Caption", s->GetCaption(), b.GetCaption(), [s](const String& v) { s->SetCaption(v); });
  Text(Filer, L"Category", s->GetCategory(), b.GetCategory(), [s](const String& v) { s->SetCategory(v); });
  Boolean(Filer, L"Checked", s->GetChecked(), b.GetChecked(), [s](bool v) { s->SetChecked(v); });
  Boolean(Filer, L"Enabled", s->GetEnabled(), b.GetEnabled(), [s](bool v) { s->SetEnabled(v); });
  Integer(Filer, L"GroupIndex", s->GetGroupIndex(), b.GetGroupIndex(), [s](int64_t v) { s->SetGroupIndex(int(v)); });
  Integer(Filer, L"HelpContext", s->GetHelpContext(), b.GetHelpContext(),
          [s](int64_t v) { s->SetHelpContext(THelpContext(v)); });
  Text(Filer, L"Hint", s->GetHint(), b.GetHint(), [s](const String& v) { s->SetHint(v); });
  Integer(Filer, L"ImageIndex", s->GetImageIndex(), b.GetImageIndex(), [s](int64_t v) { s->SetImageIndex(int(v)); });
  Integer(Filer, L"ShortCut", s->GetShortCut(), b.GetShortCut(), [s](int64_t v) { s->SetShortCut(TShortCut(v)); });
  Boolean(Filer, L"Visible", s->GetVisible(), b.GetVisible(), [s](bool v) { s->SetVisible(v); });
  Event(Filer, L"OnExecute", s->OnExecute, a ? &a->OnExecute : nullptr);
  Event(Filer, L"OnHint", s->OnHint, a ? &a->OnHint : nullptr);
  Event(Filer, L"OnUpdate", s->OnUpdate, a ? &a->OnUpdate : nullptr);
}

void DefineControlEvents(TFiler* Filer, TControl* Control) {
  auto* a = dynamic_cast<TControl*>(Filer->GetAncestor());
  Event(Filer, L"OnDragDrop", Control->OnDragDrop, a ? &a->OnDragDrop : nullptr);
  Event(Filer, L"OnDragOver", Control->OnDragOver, a ? &a->OnDragOver : nullptr);
  Event(Filer, L"OnMouseDown", Control->OnMouseDown, a ? &a->OnMouseDown : nullptr);
  Event(Filer, L"OnMouseMove", Control->OnMouseMove, a ? &a->OnMouseMove : nullptr);
  Event(Filer, L"OnMouseUp", Control->OnMouseUp, a ? &a->OnMouseUp : nullptr);
}

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
  DefineControlEvents(Filer, W);
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
    // Making one of these touches nothing but the new component: what its
    // constructor sets is not written while unchanged.
    CompareWithNewComponents({L"TBarDock", L"TBarEditAction", L"TBarToolWindow"});
    return true;
  }();
  (void)done;
}

}  // namespace BarFiler
