// Masked edit boxes with a button inside their right edge: pressing the
// button (or the click key) fires an event or drops down a pop-up window
// that edits the value and closes on a click, Enter or Esc. The file,
// directory and date edits build on it.
#pragma once

#include <memory>

#include "classlib/Filer.h"
#include "classlib/Mask.h"
#include "classlib/StdCtrls.h"
#include "classlib/Variants.h"
#include "extlib/ExCtlSpeedButton.h"

ZEMBRIO_DECLARE_EXCEPTION(EComboEditError, Exception)

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
enum TPopupAlign { epaRight, epaLeft };

// Key plus scShift / scCtrl / scAlt.
using TEditShortCut = uint16_t;
constexpr TEditShortCut escShift = 0x2000;
constexpr TEditShortCut escCtrl = 0x4000;
constexpr TEditShortCut escAlt = 0x8000;
TEditShortCut EditShortCut(WORD Key, TShiftState Shift);

using TCloseUpEvent = TEvent<void(TObject* Sender, bool Accept)>;

class TCustomComboEdit;

// The combo edit's button: a press that closes an open pop-up swallows the
// click that follows it.
class TEditButton : public TExtSpeedButton {
 public:
  explicit TEditButton(TComponent* AOwner);
  const char* ClassName() const override { return "TEditButton"; }
  void Click() override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  friend class TCustomComboEdit;
  TCustomComboEdit* Editor() const;
  bool noAction_ = false;
};

// A window without caption that drops down below its editor and never takes
// the activation.
class TPopupWindow : public TCustomControl {
 public:
  explicit TPopupWindow(TComponent* AOwner);
  TWinControl* GetEditor() const { return editor_; }

  virtual Variant GetValue() = 0;
  virtual void SetValue(const Variant& Value) = 0;
  virtual void CloseUp(bool Accept);
  virtual String GetPopupText() { return String(); }
  // Shows the window at a screen point without activating it.
  void ShowAt(TPoint Origin);
  void HidePopup();
  bool IsShowing() const;
  // Repaints the editor's text area at once.
  void InvalidateEditor();

  TCloseUpEvent OnCloseUp;
  void WndProc(TMessage& M) override;

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  void PopupMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  TWinControl* editor_ = nullptr;
};

class TCustomComboEdit : public TCustomMaskEdit {
 protected:
  // Its text is stored with its own properties, after the mask that
  // shapes it.
  const wchar_t* StoredTextName() const override { return nullptr; }

 public:
  explicit TCustomComboEdit(TComponent* AOwner);
  ~TCustomComboEdit() override;

  TEditButton* Button() const { return button_; }
  TNotifyEvent OnButtonClick;
  TEditShortCut ClickKey = escAlt | VK_DOWN;

  virtual bool GetReadOnly() const { return comboReadOnly_; }
  void SetReadOnly(bool Value);
  bool GetDirectInput() const { return directInput_; }
  void SetDirectInput(bool Value);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment Value);
  TPopupAlign PopupAlign = epaRight;
  TGlyphKind GetGlyphKind() const { return glyphKind_; }
  void SetGlyphKind(TGlyphKind Value);
  TBitmap* GetGlyph() const { return button_->GetGlyph(); }
  // Switches the glyph kind to gkCustom.
  void SetGlyph(TBitmap* Value);
  int GetNumGlyphs() const { return button_->GetNumGlyphs(); }
  void SetNumGlyphs(int Value);
  int GetButtonWidth() const;
  void SetButtonWidth(int Value);
  String GetButtonHint() const { return button_->GetHint(); }
  void SetButtonHint(const String& Value) { button_->SetHint(Value); }
  TPopupWindow* GetPopup() const { return popup_; }

  // Acts as a press of the button.
  void DoClick();
  // Selects all only with direct input.
  void SelectAll() override;
  bool PopupVisible() const { return popupVisible_; }
  // Closes an open pop-up (accepting or not).
  void PopupCloseUp(TObject* Sender, bool Accept);

  void WndProc(TMessage& M) override;

 protected:
  virtual TBitmap* GetDefaultBitmap(bool& DestroyNeeded);
  virtual void PopupDropDown(bool DisableEdit);
  virtual void ShowPopup(TPoint Origin);
  virtual void HidePopup();
  virtual bool AcceptPopup(Variant& Value);
  virtual void AcceptValue(const Variant& Value);
  virtual void SetPopupValue(const Variant& Value);
  virtual Variant GetPopupValue();
  virtual void PopupChange() {}
  virtual void ButtonClick();
  void Change() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Loaded() override;
  bool EditCanModify() const override { return !comboReadOnly_; }
  void RecreateGlyph();
  void UpdateBtnBounds();
  void SetEditRect();
  // The button's and the edit's properties every combo edit publishes,
  // each stored where it differs from its default: the glyph and the
  // number of glyphs only for gkCustom (the other kinds make their own),
  // the button width only when it is not the one the glyph kind gives.
  void DefineProperties(TFiler* Filer) override;
  // The glyph kind the class starts with (gkDefault for the file, folder
  // and date edits).
  TGlyphKind DefaultGlyphKind() const { return defGlyphKind_; }

  TPopupWindow* popup_ = nullptr;  // made by descendants, owned by the edit
  int defNumGlyphs_ = 1;
  bool popupVisible_ = false;
  // Closing because the focus went elsewhere: the edit does not take it back.
  bool losingFocus_ = false;

 private:
  friend class TEditButton;
  friend class TPopupWindow;
  void EditButtonClick(TObject* Sender);
  void ApplyReadOnly();
  int DefaultButtonWidth() const;
  int MinHeight();
  // On a designed form being loaded the pop-up stands just below the edit.
  void PlaceDesignedPopup();

  TEditButton* button_ = nullptr;
  TWinControl* btnControl_ = nullptr;
  bool comboReadOnly_ = false;
  bool escapeTaken_ = false;  // the masked edit undid the typing with this Escape
  bool directInput_ = true;
  TAlignment alignment_ = taLeftJustify;
  TGlyphKind glyphKind_ = gkCustom;
  TGlyphKind defGlyphKind_ = gkCustom;
};

class TComboEdit : public TCustomComboEdit {
 public:
  explicit TComboEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {}
  const char* ClassName() const override { return "TComboEdit"; }

 protected:
  // Adds Alignment, CharCase, EditMask, MaxLength, OEMConvert and Text.
  void DefineProperties(TFiler* Filer) override;
};

// The text origin a combo edit's own text painting starts at.
// The system reads right to left (set at start-up; the standard painting
// then gives the edit's window its reading order).
extern bool MiddleEastSystem;
TPoint EditorTextMargins(TCustomComboEdit* Editor);
// Paints a combo edit's text itself, for descendants that show a text of
// their own (the message's context, or a paint of the window). With
// StandardPaint the edit paints itself and false comes back. The canvas is
// made on first use and kept by the caller.
bool PaintComboEdit(TCustomComboEdit* Editor, const String& AText, TAlignment AAlignment, bool StandardPaint,
                    std::unique_ptr<TControlCanvas>& ACanvas, TMessage& Message);
