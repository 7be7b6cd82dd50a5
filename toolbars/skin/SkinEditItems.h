// Themed edit and spin-edit items: the core edit item measured and painted
// through the current theme, with alignment, password character, read-only
// flag, font overrides and an optional image; the spin item holds a number
// with units, stepped by an up/down button pair.
#pragma once

#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/skin/SkinItems.h"
#include "toolbars/skin/SkinSpinValue.h"

ZEMBRIO_DECLARE_EXCEPTION(EPropertyError, Exception)

class TSkinEdit : public TEdit {
 public:
  using TEdit::TEdit;
  const char* ClassName() const override { return "TSkinEdit"; }
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  TAlignment alignment_ = taLeftJustify;
};

class TSkinEditItemViewer;
using TSkinEditChange = TEvent<void(TObject* Sender, const String& Text)>;

class TSkinEditItem : public TBarEditItem {
 public:
  explicit TSkinEditItem(TComponent* AOwner);
  ~TSkinEditItem() override;
  const char* ClassName() const override { return "TSkinEditItem"; }

  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  TBarPopupWindowClass GetPopupWindowClass() override;
  void GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow, TBarPopupPositionRec& Rec) override;
  void DoBeginEdit(TBarEditItemViewer* Viewer) override;
  void DefineProperties(TFiler* Filer) override;
  virtual void DoChange(TObject* EditControl, const String& AText);
  virtual TImageIndex GetImageIndexOf() { return GetImageIndex(); }
  // Runs the edit loop in the view's viewer of this item; true when Text changed.
  bool StartEditing(TBarView* AView);

  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TFontSettings* FontSettings() const { return fontSettings_; }
  wchar_t GetPasswordChar() const { return passwordChar_; }
  void SetPasswordChar(wchar_t Value);
  bool ReadOnly = false;
  bool GetShowImage() const { return showImage_; }
  void SetShowImage(bool Value);
  TSkinEditChange OnChange;

 protected:
  TAlignment alignment_ = taLeftJustify;

 private:
  void FontSettingsChanged(TObject*) { Change(true); }
  TFontSettings* fontSettings_;
  wchar_t passwordChar_ = 0;
  bool showImage_ = false;
};

class TSkinEditItemViewer : public TBarEditItemViewer {
 public:
  using TBarEditItemViewer::TBarEditItemViewer;
  const char* ClassName() const override { return "TSkinEditItemViewer"; }
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }

  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void GetEditRect(RECT& R) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed, bool UseDisabledShadow) override;
  TBarEditControlClass GetEditControlClass() override;
  bool IsToolbarSize() override;
  bool IsToolbarStyle() override;
  int GetAccRole() override;

  virtual bool HandleEditMessage(TMessage& Message) { return false; }
  virtual void HandleEditChange(TCustomEdit* Edit, const String& AText);
  virtual void GetItemInfo(TSkinItemInfo& Info, bool Hover, bool Unused, bool Pushed);
  virtual void GetEditInfo(TSkinEditInfo& Info, const TSkinItemInfo& ItemInfo);
  virtual int GetIndentBefore();
  virtual int GetIndentAfter() { return 0; }
  virtual bool ShowImage();

  // Wires an open edit control to this viewer.
  void HookEditControl(TEdit* Edit);

 protected:
  TSkinEditItem* SkinEditItem() const { return static_cast<TSkinEditItem*>(Item); }
  void EditChanged(TObject* Sender);
  void NewEditWndProc(TMessage& Message);
  TWndMethod savedWndProc_;
};

// The spin item's events: converting prefixed or postfixed text, a step
// of the value, text to value, a changed value and value to text.
using TSEConvertEvent =
    TEvent<void(TObject* Sender, const String& APrefix, const String& APostfix, double& AValue, bool& CanConvert)>;
using TSEStepEvent = TEvent<void(TObject* Sender, int Step, double OldValue, double& NewValue)>;
using TSETextToValueEvent = TEvent<void(TObject* Sender, const String& AText, double& AValue, bool& CanConvert)>;
using TSEChangeEvent = TEvent<void(TObject* Sender, double AValue)>;
using TSEValueToTextEvent = TEvent<void(TObject* Sender, double AValue, String& Text)>;

class TSkinCustomSpinEditItem : public TSkinEditItem {
 public:
  explicit TSkinCustomSpinEditItem(TComponent* AOwner);
  const char* ClassName() const override { return "TSkinCustomSpinEditItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  void DoChange(TObject* EditControl, const String& AText) override;
  void DefineProperties(TFiler* Filer) override;

  double GetValue();
  void SetValue(double V);
  int64_t GetAsInteger() { return SpinRound(GetValue()); }
  void SetAsInteger(int64_t V) { SetValue(static_cast<double>(V)); }
  String AsText(double V);
  double LastValue() const { return lastValue_; }

  TSEValueType GetValueType() const { return valueType_; }
  void SetValueType(TSEValueType Value);
  TDecimal GetDecimal() const { return decimal_; }
  void SetDecimal(int Value);  // kept within 0..10
  double GetIncrement() const { return increment_; }
  void SetIncrement(double Value);
  double MinValue = 0, MaxValue = 0;
  const String& GetPrefix() const { return prefix_; }
  void SetPrefix(const String& Value);
  const String& GetPostfix() const { return postfix_; }
  void SetPostfix(const String& Value);
  bool Snap = true;
  bool GetSpaceAfterPrefix() const { return spaceAfterPrefix_; }
  void SetSpaceAfterPrefix(bool Value);
  bool GetSpaceBeforePostfix() const { return spaceBeforePostfix_; }
  void SetSpaceBeforePostfix(bool Value);

  void ClickUp() { Step(+1); }
  void ClickDown() { Step(-1); }

  TSEConvertEvent OnConvert;
  TSEStepEvent OnStep;
  TSETextToValueEvent OnTextToValue;
  TSEChangeEvent OnValueChange;
  TSEValueToTextEvent OnValueToText;

  // V kept within MinValue..MaxValue when they differ (equal: no range).
  double CheckValue(double V);
  // False when S holds a character that ends a unit (empty is fine).
  static bool ValidateUnits(const String& S) { return SpinValidateUnits(S); }
  virtual bool DoConvert(const String& APrefix, const String& APostfix, double& AValue);
  virtual void DoStep(int AStep, double OldValue, double& NewValue);
  virtual bool DoTextToValue(const String& AText, double& AValue);
  virtual void DoValueChange(double V);
  virtual void DoValueToText(double V, String& Text);

 private:
  TSpinValueFormat Format();
  bool ParseValue(const String& Text, double& V) { return SpinParseValue(Format(), Text, V); }
  void Step(int Dir);
  TSEValueType valueType_ = evtInteger;
  TDecimal decimal_ = 2;
  double increment_ = 1.0;
  String prefix_, postfix_;
  bool spaceAfterPrefix_ = false, spaceBeforePostfix_ = false;
  double lastValue_ = 0;
  bool textUpdating_ = false;
};

class TSkinSpinEditItem : public TSkinCustomSpinEditItem {
 public:
  using TSkinCustomSpinEditItem::TSkinCustomSpinEditItem;
  const char* ClassName() const override { return "TSkinSpinEditItem"; }
};

class TSkinSpinEditViewer : public TSkinEditItemViewer {
 public:
  using TSkinEditItemViewer::TSkinEditItemViewer;
  const char* ClassName() const override { return "TSkinSpinEditViewer"; }
  ~TSkinSpinEditViewer() override;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }

  void GetEditInfo(TSkinEditInfo& Info, const TSkinItemInfo& ItemInfo) override;
  int GetIndentAfter() override;
  bool IsPtInButtonPart(int X, int Y) override;
  void MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) override;
  void MouseUp(int X, int Y, bool MouseWasDownOnMenu) override;
  void LosingCapture() override;
  bool HandleEditMessage(TMessage& Message) override;
  int PressedButton() const { return pressed_; }
  TTimer* RepeatTimer() const { return timer_; }
  void TimerTick(TObject* Sender);

 private:
  TSkinCustomSpinEditItem* SpinItem() const { return static_cast<TSkinCustomSpinEditItem*>(Item); }
  void InvalidateButtons();
  void FreeTimer();
  int pressed_ = 0;
  TTimer* timer_ = nullptr;
};
