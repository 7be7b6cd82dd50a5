// Backgrounds that a dock paints under itself and its docked windows: a
// bitmap tiled from a common origin, optionally transparent over a colour.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Graphics.h"

class TBarBasicBackground : public TComponent {
 public:
  using TComponent::TComponent;
  const char* ClassName() const override { return "TBarBasicBackground"; }
  // Tiles the background over R; tiles start at R's top-left corner.
  virtual void Draw(HDC DC, const RECT& R) = 0;
  virtual HPALETTE GetPalette() = 0;
  virtual void RegisterChanges(const TNotifyEvent& Proc) = 0;
  virtual void SysColorChanged() = 0;
  virtual void UnregisterChanges(const TNotifyEvent& Proc) = 0;
  virtual bool UsingBackground() = 0;
};

class TBarBackground : public TBarBasicBackground {
 public:
  explicit TBarBackground(TComponent* AOwner);
  ~TBarBackground() override;
  const char* ClassName() const override { return "TBarBackground"; }

  void Draw(HDC DC, const RECT& R) override;
  // The palette of a bitmap with a colour table (1, 4 or 8 bits a pixel),
  // else null; owned by the background and kept until the bitmap changes.
  HPALETTE GetPalette() override;
  void RegisterChanges(const TNotifyEvent& Proc) override;
  void SysColorChanged() override;
  void UnregisterChanges(const TNotifyEvent& Proc) override;
  bool UsingBackground() override;

  TBitmap* GetBitmap() const { return bitmap_.get(); }
  // Copies the picture.
  void SetBitmap(TBitmap* Value);
  TColor GetBkColor() const { return bkColor_; }
  void SetBkColor(TColor Value);
  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool Value);
  int HandlerCount() const { return static_cast<int>(handlers_.size()); }
  void DefineProperties(TFiler* Filer) override;

 private:
  void BitmapChanged(TObject* Sender);
  void Changed();
  void DropCache();
  void BuildCache(HDC DC);
  std::unique_ptr<TBitmap> bitmap_;
  TColor bkColor_ = clBtnFace;
  bool transparent_ = false;
  bool assigning_ = false;
  HBITMAP cache_ = nullptr;
  HPALETTE palette_ = nullptr;
  bool paletteRead_ = false;
  int cacheWidth_ = 0, cacheHeight_ = 0;
  std::vector<TNotifyEvent> handlers_;
};
