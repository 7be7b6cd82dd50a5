// TSecretPanel: a panel that, while active, hides its child controls and
// scrolls the lines of a text upwards or sideways through its client area,
// one pixel per timer tick, with an optional glyph beside the text.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "extlib/ExTimer.h"

enum TScrollDirection { sdVertical, sdHorizontal };
enum TGlyphLayout { glGlyphLeft, glGlyphRight, glGlyphTop, glGlyphBottom };
using TPanelDrawEvent = TEvent<void(TObject* Sender, TCanvas* Canvas, TRect Rect)>;

class TSecretPanel : public TCustomPanel {
 public:
  explicit TSecretPanel(TComponent* AOwner);
  ~TSecretPanel() override;
  const char* ClassName() const override { return "TSecretPanel"; }

  bool GetActive() const { return active_; }
  void SetActive(bool Value);
  void Play() { SetActive(true); }
  void Stop() { SetActive(false); }
  TStrings* Lines() const { return lines_.get(); }
  void SetLines(TStrings* Value) { lines_->Assign(Value); }
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value) { glyph_->Assign(*Value); }
  bool Cycled = false;
  TAlignment GetTextAlignment() const { return textAlignment_; }
  void SetTextAlignment(TAlignment Value);
  TBevelCut GetTextStyle() const { return textStyle_; }
  void SetTextStyle(TBevelCut Value);
  TScrollDirection GetScrollDirection() const { return scrollDirection_; }
  void SetScrollDirection(TScrollDirection Value);
  TGlyphLayout GetGlyphLayout() const { return glyphLayout_; }
  void SetGlyphLayout(TGlyphLayout Value);
  unsigned GetInterval() const { return timer_->GetInterval(); }
  void SetInterval(unsigned Value) { timer_->SetInterval(Value); }
  // With asynchronous drawing the timer's thread draws the frames itself.
  bool GetAsyncDrawing() const { return !timer_->SyncEvent; }
  void SetAsyncDrawing(bool Value) { timer_->SyncEvent = !Value; }

  TPanelDrawEvent OnPaintClient;
  TNotifyEvent OnStartPlay;
  TNotifyEvent OnStopPlay;

  // State of the scrolling, for inspection.
  int ScrollCounter() const { return counter_; }
  int ScrollLength() const { return scrollLength_; }
  int FirstLine() const { return firstLine_; }
  int LineHeight() const { return lineHeight_; }
  TRect TextRect() const { return textRect_; }
  TRect PaintRect() const { return paintRect_; }
  TPoint GlyphOrigin() const { return glyphOrigin_; }
  TBitmap* MemoryImage() const { return memImage_.get(); }
  TExtTimer* Timer() const { return timer_; }

  void WndProc(TMessage& M) override;

 protected:
  // The frame, the text and the scrolling where they differ from their
  // defaults (BevelOuter bvLowered, Interval 30, AsyncDrawing true).
  void DefineProperties(TFiler* Filer) override;
  // A panel read as active starts playing once loading is over.
  void Loaded() override;
  // While active, a change of the children's alignment rebuilds the image.
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void Paint() override;
  // Keep the window frames are copied to (the timer's thread never asks
  // for the handle, which could make a window there).
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void PaintClient(TCanvas* Canvas, const TRect& Rect);
  virtual void TimerExpired(TObject* Sender);
  virtual void StartPlay();
  virtual void StopPlay();
  // The layout now: where the frame's background, the text and the glyph go.
  struct TDrawLayout {
    TRect Paint, Text;
    TPoint Glyph;
  };
  TDrawLayout CalcDrawLayout();
  // Takes the layout for the frames (under the image lock).
  void RecalcDrawRect();
  void UpdateMemoryImage();
  void PaintText();

 private:
  void LinesChanged(TObject*);
  void GlyphChanged(TObject*);
  void RefreshImage();
  int FrameWidth() const;

  std::atomic<bool> active_{false};
  std::atomic<bool> destroying_{false};
  TAlignment textAlignment_ = taCenter;
  std::unique_ptr<TStringList> lines_;
  int counter_ = 0;
  int scrollLength_ = 0;
  int lineHeight_ = 0;
  int firstLine_ = 0;
  TExtTimer* timer_ = nullptr;
  TRect textRect_{}, paintRect_{};
  TPoint glyphOrigin_{};
  std::unique_ptr<TBitmap> memImage_;
  // The lines as the image was prepared with: frames draw these, so the
  // timer's thread never reads Lines while the window thread changes it.
  std::vector<String> drawLines_;
  // The window frames go to, or none; set on the window thread.
  std::atomic<HWND> paintWnd_{nullptr};
  std::unique_ptr<TBitmap> glyph_;
  std::vector<TControl*> hidden_;
  TBevelCut textStyle_ = bvNone;
  TScrollDirection scrollDirection_ = sdVertical;
  TGlyphLayout glyphLayout_ = glGlyphLeft;
  bool activeRead_ = false;
  // Held for a whole frame, and while the image is rebuilt or freed.
  std::recursive_mutex imageLock_;
};
