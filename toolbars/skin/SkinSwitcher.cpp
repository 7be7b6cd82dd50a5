#include "toolbars/skin/SkinSwitcher.h"

#include <memory>

namespace {
int g_switchers = 0;
}

TSkinSwitcher::TSkinSwitcher(TComponent* AOwner) : TComponent(AOwner) {
  AddThemeNotification(this);
  ++g_switchers;
}

TSkinSwitcher::~TSkinSwitcher() {
  --g_switchers;
  RemoveThemeNotification(this);
  if (GetComponentState().Contains(csDesigning) && g_switchers == 0) SkinSetTheme(L"Default");
}

int TSkinSwitcher::Count() { return g_switchers; }

TFlatMenuStyle TSkinSwitcher::GetFlatMenuStyle() const {
  switch (GetSkinSysParam(1)) {
    case 1: return fmsDisable;
    case 2: return fmsEnable;
    default: return fmsAuto;
  }
}

void TSkinSwitcher::SetFlatMenuStyle(TFlatMenuStyle Value) {
  SetSkinSysParam(1, Value == fmsEnable ? 2 : Value == fmsDisable ? 1 : 0);
}

int TSkinSwitcher::GetThemeCount() const {
  auto list = std::make_unique<TStringList>();
  GetAvailableSkinThemes(list.get());
  return list->GetCount();
}

String TSkinSwitcher::GetThemes(int Index) const {
  auto list = std::make_unique<TStringList>();
  GetAvailableSkinThemes(list.get());
  return Index >= 0 && Index < list->GetCount() ? list->Get(Index) : String();
}

void TSkinSwitcher::SkinMessage(TMessage& Message) {
  if (Message.Msg == BarMThemeChange && OnThemeChange) OnThemeChange(this);
}
