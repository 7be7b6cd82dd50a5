// An owner-drawn status bar whose panels draw themselves by type: text,
// lock-key indicators, a self-refreshing date or time, text shortened with
// an ellipsis, a glyph with text, a percentage gauge, two animated "busy"
// gauges, or a panel drawn by the application.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Graphics.h"

enum TOdStatusPanelType : uint8_t {
  sptNormal, sptCapsLock, sptNumLock, sptScrollLock, sptDate, sptTime, sptDateTime,
  sptTimeDate, sptEllipsisText, sptEllipsisPath, sptGlyph, sptGauge, sptOwnerDraw
};

enum TOdGaugeStyle : uint8_t { gsPercent, gsIndeterminate, gsIndeterminate2 };
using TOdGaugeStyles = TSet<TOdGaugeStyle>;
constexpr TOdGaugeStyles IndeterminateGuages{gsIndeterminate, gsIndeterminate2};

using TPercent = uint8_t;
// A width in pixels of a panel's border (the class library's border-width type).
using TBorderWidth = int;
constexpr UINT INDETERMINATE_GAUGE_UPDATE_INTERVAL = 50;
constexpr UINT WM_REFRESHLOCKINDICATORS = WM_APP + 0xE6;

// The panel texts of the three lock types.
extern String SCapsLock, SNumLock, SScrollLock;

// The clock the date and time panels read (tests replace it).
extern TDateTime (*OdStatusNow)();

ZEMBRIO_DECLARE_EXCEPTION(EOdAssertion, Exception)

class TOdStatusBar;
class TOdStatusPanel;
class TOdStatusPanels;

using TOdDrawPanelEvent = TEvent<void(TOdStatusBar* StatusBar, TOdStatusPanel* Panel, const TRect& Rect)>;
using TOdPanelHintTextEvent = TEvent<void(TOdStatusBar* StatusBar, TOdStatusPanel* Panel, String& Hint)>;

class TOdGaugeAttrs : public TObject {
 public:
  explicit TOdGaugeAttrs(TOdStatusPanel* Owner) : owner_(Owner) {}
  TOdGaugeStyle GetStyle() const { return style_; }
  void SetStyle(TOdGaugeStyle Value);
  TPercent GetPosition() const { return position_; }
  // Values above 100 are taken as 100.
  void SetPosition(int Value);
  int GetSpeed() const { return speed_; }
  // Values below 1 are refused (a gauge that never moves would look hung).
  void SetSpeed(int Value);
  TColor GetColor() const { return color_; }
  void SetColor(TColor Value);
  TColor GetTextColor() const { return textColor_; }
  void SetTextColor(TColor Value);
  TOdStatusPanel* GetOwner() const { return owner_; }
  // Copies Position and Style.
  void Assign(const TOdGaugeAttrs& Source);

 private:
  TOdGaugeStyle style_ = gsPercent;
  TOdStatusPanel* owner_;
  TPercent position_ = 0;
  int speed_ = 4;
  TColor color_ = clHighlight;
  TColor textColor_ = clHighlightText;
};

class TOdStatusPanel : public TObject {
 public:
  explicit TOdStatusPanel(TOdStatusPanels* Collection);
  ~TOdStatusPanel() override;

  TOdStatusPanelType GetPanelType() const { return panelType_; }
  void SetPanelType(TOdStatusPanelType Value);
  bool GetAutoFit() const { return autoFit_; }
  void SetAutoFit(bool Value);
  bool GetEnabled() const;
  void SetEnabled(bool Value);
  const String& GetTimeFormat() const { return timeFormat_; }
  void SetTimeFormat(const String& Value);
  const String& GetDateFormat() const { return dateFormat_; }
  void SetDateFormat(const String& Value);
  const String& GetText() const { return text_; }
  void SetText(const String& Value);
  TPicture* Glyph() const { return glyph_.get(); }
  // Copies the given picture (none clears the glyph).
  void SetGlyph(TPicture* Value);
  TOdGaugeAttrs* GaugeAttrs() const { return gaugeAttrs_.get(); }
  void SetGaugeAttrs(const TOdGaugeAttrs& Value) { gaugeAttrs_->Assign(Value); }
  TBorderWidth GetBorderWidth() const { return borderWidth_; }
  void SetBorderWidth(TBorderWidth Value);
  String GetHint();
  void SetHint(const String& Value) { hint_ = Value; }
  TAlignment GetAlignment() const;
  void SetAlignment(TAlignment Value);
  TStatusPanelBevel GetBevel() const;
  void SetBevel(TStatusPanelBevel Value);
  // Reading order, the linked panel's: its own, or its bar's while
  // ParentBiDiMode holds (then it is not stored).
  TBiDiMode GetBiDiMode() const;
  void SetBiDiMode(TBiDiMode Value);
  bool GetParentBiDiMode() const;
  void SetParentBiDiMode(bool Value);
  bool IsBiDiModeStored() const { return !GetParentBiDiMode(); }
  int GetWidth() const;
  void SetWidth(int Value);
  int GetIndex() const;
  // Moves the panel (with its linked panel's settings) to another index.
  virtual void SetIndex(int Value);
  String GetDisplayName() const;
  virtual void Assign(TOdStatusPanel* Source);
  // Declares the panel's stored properties (inside its bar's Panels). The
  // panel's type comes first, so that what setting it changes is read
  // over; what the type itself sets is not stored again.
  void DefineProperties(TFiler* Filer);

  TOdDrawPanelEvent OnDrawPanel;
  TOdPanelHintTextEvent OnHintText;
  TNotifyEvent OnClick;

  void Invalidate();
  void TimerNotification();
  void UpdateKeyboardHook();
  TOdStatusBar* GetStatusBar() const;
  TStatusPanel* GetLinkedPanel() const { return linked_; }
  TBitmap* GetGaugeBitmap();
  // State of the animated gauge (read by the painting, tests look at it).
  int GaugeOffset() const { return gaugeOffset_; }
  int GaugeStep() const { return gaugeStep_; }
  bool KeyOn() const;

  virtual void UpdateAutoFitWidth();
  virtual void UpdateDateTime();
  virtual void GlyphChanged(TObject* Sender);
  virtual void DrawPanel(const TRect& Rect);
  virtual void EnabledChanged();
  virtual void DoHintText(String& Hint);
  virtual void Redraw(TCanvas* Canvas, const TRect& Rect);
  virtual void DrawKeyLock(TCanvas* Canvas, const TRect& Rect);
  virtual void DrawTextBased(TCanvas* Canvas, const TRect& Rect);
  virtual void DrawGlyph(TCanvas* Canvas, const TRect& Rect);
  virtual void DrawGauge(TCanvas* Canvas, const TRect& Rect);
  virtual void DrawIndeterminateGauge(TCanvas* Canvas, const TRect& Rect);
  virtual TBitmap* InitGaugeBitmap();
  virtual void Click();

 private:
  friend class TOdGaugeAttrs;
  friend class TOdStatusPanels;
  friend class TOdStatusBar;
  void Enter();
  void Leave();
  void EnterHook();
  void LeaveHook();
  void ResetGauge();
  void DiscardGaugeBitmap() { gaugeBitmap_.reset(); }
  bool IsLockType() const { return panelType_ >= sptCapsLock && panelType_ <= sptScrollLock; }
  bool IsDateTimeType() const { return panelType_ >= sptDate && panelType_ <= sptTimeDate; }
  bool IsIndeterminateGauge() const;
  // Whether the bar is being designed.
  bool Designed() const;

  TOdStatusPanels* collection_;
  TStatusPanel* linked_ = nullptr;
  uint8_t keyState_ = 0;
  TOdStatusPanelType panelType_ = sptNormal;
  bool autoFit_ = false;
  bool enabled_ = true;
  String timeFormat_, dateFormat_, text_;
  std::unique_ptr<TPicture> glyph_;
  int gaugeOffset_ = 0;
  int gaugeStep_ = 1;
  String hint_;
  std::unique_ptr<TOdGaugeAttrs> gaugeAttrs_;
  std::unique_ptr<TBitmap> gaugeBitmap_;
  TBorderWidth borderWidth_ = 0;
  // Which registration the panel holds now (so leaving undoes exactly it).
  enum { regNone, regHook, regMonitor, regTimer } reg_ = regNone;
};

class TOdStatusPanels : public TObject {
 public:
  TOdStatusPanels(TOdStatusBar* StatusBar, TStatusPanels* Linked);
  ~TOdStatusPanels() override;
  TOdStatusPanel* Add();
  // Makes these panels copies of Source's panels.
  void Assign(TOdStatusPanels* Source);
  int GetCount() const { return int(items_.size()); }
  TOdStatusPanel* GetItem(int Index) const;
  TOdStatusPanel* operator[](int Index) const { return GetItem(Index); }
  void SetItem(int Index, TOdStatusPanel* Value);
  void Delete(int Index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  TOdStatusBar* GetOwner() const { return bar_; }
  void RegisterTimer(TOdStatusPanel* Panel);
  void DeregisterTimer(TOdStatusPanel* Panel);
  void TimerEvent(TObject* Sender);
  void Update(TOdStatusPanel* Item);
  TTimer* Timer() const { return timer_; }
  int TimerClientCount() const { return int(clients_.size()); }

 private:
  friend class TOdStatusPanel;
  TTimer* timer_ = nullptr;
  std::vector<TOdStatusPanel*> clients_;
  TDateTime lastDate_ = 0;
  TOdStatusBar* bar_;
  TStatusPanels* linked_;
  std::vector<TOdStatusPanel*> items_;
};

class TOdStatusBar : public TStatusBar {
 public:
  explicit TOdStatusBar(TComponent* AOwner);
  ~TOdStatusBar() override;
  const char* ClassName() const override { return "TOdStatusBar"; }

  TOdStatusPanels* Panels() const { return panels_.get(); }
  void SetPanels(TOdStatusPanels* Value) { panels_->Assign(Value); }
  bool GetUseMonitorDLL() const { return useMonitorDLL_; }
  void SetUseMonitorDLL(bool Value);
  String GetVersion() const;
  void SetVersion(const String&) {}
  TOdDrawPanelEvent GetOnDrawPanel() const { return onDrawPanel_; }
  void SetOnDrawPanel(const TOdDrawPanelEvent& Value) { onDrawPanel_ = Value; }

  // Redraws a panel at once (EListError for a bad index).
  void InvalidatePanel(int Index);
  // The panel's rectangle; empty without a window.
  TRect GetPanelRect(int Index);
  TOdStatusPanel* FindLinkedPanel(TStatusPanel* Panel) const;
  TSize TextExtent(const String& S);
  void UpdateExtentFont();
  // The font text is measured in (a copy of the bar's font).
  HFONT ExtentFont() const { return extentFont_; }
  void UpdateKeyboardHooks();
  void RegisterMainWinHook(TOdStatusPanel* Panel);
  void DeregisterMainWinHook(TOdStatusPanel* Panel);
  void RegisterSystemHook();
  void DeregisterSystemHook();
  bool AppWinHook(TMessage& Message);
  int MonitorRegistrations() const { return monitorCount_; }
  UINT MonitorMessage() const { return monitorMessage_; }
  int MainWinHookClients() const { return int(mainWinClients_.size()); }
  // Runs Fn with a canvas on the bar's window (the one being painted when
  // inside an owner-draw, else a device context of the window).
  template <class F> void WithCanvas(F&& Fn);

  void Loaded() override;
  void WndProc(TMessage& m) override;
  void Click() override;
  // What an action does to the bar shows at once.
  bool ExecuteAction(TBasicAction* Action) override;

 protected:
  void CreateWnd() override;
  void DrawPanel(TStatusPanel* Panel, const TRect& Rect) override;
  // Stores UseMonitorDLL, the panels and OnDrawPanel besides what every
  // control stores; Version never.
  void DefineProperties(TFiler* Filer) override;

 private:
  friend class TOdStatusPanel;
  friend class TOdStatusPanels;
  void PaintSizeGrip();
  // With UseMonitorDLL set but no library loaded, tries to load it; when it
  // cannot be loaded, turns UseMonitorDLL off again and, with Report, raises
  // "Could not load ...". A library loaded only to find out is freed again
  // unless the bar's lock panels are waiting for it.
  void CheckMonitorLoaded(bool Report);
  // Registers the bar's window with the library when both are there.
  void RegisterMonitorWindow();
  void ShowPanelHint(THintInfo& Info);
  TCanvas* PaintCanvas();
  std::unique_ptr<TOdStatusPanels> panels_;
  std::vector<TOdStatusPanel*> mainWinClients_;
  HDC extentDC_ = nullptr;
  HFONT extentFont_ = nullptr;
  HGDIOBJ replacedFont_ = nullptr;
  bool useMonitorDLL_ = false;
  int monitorCount_ = 0;
  UINT monitorMessage_ = 0;
  TOdDrawPanelEvent onDrawPanel_;
  TWindowHook appHook_;
  bool inDraw_ = false;
};

template <class F> void TOdStatusBar::WithCanvas(F&& Fn) {
  if (!HandleAllocated()) return;
  if (inDraw_) {
    Fn(Canvas());
    return;
  }
  HDC dc = GetDC(GetHandle());
  if (!dc) return;
  TCanvas c;
  c.SetHandle(dc);
  c.Font()->Assign(*Font());
  try {
    Fn(&c);
  } catch (...) {
    c.SetHandle(nullptr);
    ReleaseDC(GetHandle(), dc);
    throw;
  }
  c.SetHandle(nullptr);
  ReleaseDC(GetHandle(), dc);
}

// Unit state (tests look at it).
HHOOK OdStatusKeyboardHook();
int OdStatusTimerRegistrations();
int OdStatusHookClients();
// The thread keyboard hook shared by the lock panels of every bar.
LRESULT CALLBACK OdStatusKeyboardHookProc(int nCode, WPARAM wParam, LPARAM lParam);

// One-time set-up and tear-down of this unit (start-up table). The
// finalisation raises EOdAssertion when a keyboard hook or a timer
// registration was left behind (after removing the hook).
void OdStatusBarInitialize();
void OdStatusBarFinalize();
