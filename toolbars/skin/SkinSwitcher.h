// The component a form places to choose the current theme and the layer's
// two system parameters. It stores nothing itself: every property reads and
// writes the program-wide state, so two switchers share one state.
#pragma once

#include "classlib/Classes.h"
#include "toolbars/skin/SkinThemes.h"

enum TFlatMenuStyle { fmsAuto, fmsEnable, fmsDisable };

class TSkinSwitcher : public TComponent, public ISkinListener {
 public:
  explicit TSkinSwitcher(TComponent* AOwner);
  ~TSkinSwitcher() override;
  const char* ClassName() const override { return "TSkinSwitcher"; }

  String GetTheme() const { return SkinCurrentTheme(); }
  void SetTheme(const String& Value) { SkinSetTheme(Value); }
  bool GetEnableXPStyles() const { return GetSkinSysParam(2) == 0; }
  void SetEnableXPStyles(bool Value) { SetSkinSysParam(2, Value ? 0 : 2); }
  TFlatMenuStyle GetFlatMenuStyle() const;
  void SetFlatMenuStyle(TFlatMenuStyle Value);
  int GetThemeCount() const;
  String GetThemes(int Index) const;

  TNotifyEvent OnThemeChange;
  void DefineProperties(TFiler* Filer) override;
  void SkinMessage(TMessage& Message) override;
  // Live switchers (for tests).
  static int Count();
};
