// A dockable window whose content is ordinary child controls in a client
// area of a chosen size, with limits for sizing it while it floats.
#pragma once

#include "toolbars/BarDock.h"

class TBarToolWindow : public TBarCustomDockableWindow {
 public:
  explicit TBarToolWindow(TComponent* AOwner);
  const char* ClassName() const override { return "TBarToolWindow"; }

  POINT DoArrange(bool CanMoveControls, TBarDockType PreviousDockType, bool NewFloating,
                  TBarDock* NewDock) override;
  void GetBaseSize(POINT& ASize) override;
  void GetMinMaxSize(int& AMinClientWidth, int& AMinClientHeight, int& AMaxClientWidth,
                     int& AMaxClientHeight) override;
  void SizeChanging(int AWidth, int AHeight) override;
  void ReadPositionData(const TBarReadPositionData& Data) override;
  void WritePositionData(const TBarWritePositionData& Data) override;
  void DefineProperties(TFiler* Filer) override;

  void SetClientAreaSize(int AWidth, int AHeight);
  int GetClientAreaWidth();
  void SetClientAreaWidth(int Value) { SetClientAreaSize(Value, GetClientAreaHeight()); }
  int GetClientAreaHeight();
  void SetClientAreaHeight(int Value) { SetClientAreaSize(GetClientAreaWidth(), Value); }

  int MinClientWidth = 32;
  int MinClientHeight = 32;
  int MaxClientWidth = 0;   // 0: no limit
  int MaxClientHeight = 0;  // 0: no limit

 protected:
  void Paint() override;

 private:
  POINT SizeFor(TBarDock* Dock);
  // Width and height of everything around the client area.
  POINT FrameSize();
  int barWidth_ = 32;
  int barHeight_ = 32;
};
