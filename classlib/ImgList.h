// Image lists over the common controls' HIMAGELIST. Windows only.
#pragma once

#include <vector>

#include "classlib/Classes.h"
#include "classlib/Graphics.h"

#include <commctrl.h>

class TCustomImageList;

// The index of an image in an image list; -1 for none.
using TImageIndex = int;

// Tells one watcher that an image list changed (images added or removed,
// or its handle rebuilt). Several controls may watch the same list.
class TChangeLink : public TObject {
 public:
  ~TChangeLink() override;
  TCustomImageList* GetSender() const { return sender_; }
  TNotifyEvent OnChange;
  // Runs OnChange with the image list as the sender.
  void Change();

 private:
  friend class TCustomImageList;
  TCustomImageList* sender_ = nullptr;
};

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };
enum TResType { rtBitmap, rtCursor, rtIcon };
enum TLoadResource { lrDefaultColor, lrDefaultSize, lrFromFile, lrMap3DColors, lrTransparent, lrMonoChrome };
using TLoadResources = TSet<TLoadResource>;

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(TComponent* AOwner, int width, int height);
  ~TCustomImageList() override;
  const char* ClassName() const override { return "TCustomImageList"; }

  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  // Changing the size (or SetMasked) empties the list: a new list is made,
  // and the watchers hear of it at once, inside BeginUpdate too.
  void SetWidth(int w);
  void SetHeight(int h);
  void SetSize(int w, int h);
  bool GetMasked() const { return masked_; }
  void SetMasked(bool m);
  TColor GetBkColor() const { return bkColor_; }
  void SetBkColor(TColor c);
  TDrawingStyle GetDrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle s) { drawingStyle_ = s; }
  TImageType GetImageType() const { return imageType_; }
  void SetImageType(TImageType t) { imageType_ = t; }

  HIMAGELIST GetHandle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Takes ownership of an image list handle; the old one is destroyed once
  // the watchers have heard of the new one, which they do at once, inside
  // BeginUpdate too.
  void SetHandle(HIMAGELIST h);
  int GetCount();

  // Add returns the index of the (first) added image, -1 on failure.
  int Add(TBitmap* image, TBitmap* mask);
  int AddMasked(TBitmap* image, TColor maskColor);
  int AddIcon(TIcon* icon);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void Delete(int index);
  void Clear();
  void Move(int cur, int dest);

  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  void DrawEx(TCanvas* canvas, int x, int y, int index, TDrawingStyle ds, TImageType it, bool enabled);
  // Copies one image (over clBtnFace-free white) into a bitmap.
  void GetBitmap(int index, TBitmap* image);
  void GetIcon(int index, TIcon* icon);
  // Loads a bitmap resource of the program's module (or `inst`) split into
  // images of the list's width; true on success.
  bool ResourceLoad(TResType type, const String& name, TColor maskColor, HINSTANCE inst = nullptr);
  bool GetInstRes(HINSTANCE inst, TResType type, const String& name, int width, TLoadResources options,
                  TColor maskColor);

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() {
    if (--updateCount_ == 0 && pendingChange_) Change();
  }

  TNotifyEvent OnChange;

 protected:
  // Its OnChange, by the handler's name.
  void DefineProperties(TFiler* Filer) override;
  virtual void Change();
  void HandleNeeded();
  void CheckIndex(int index, const wchar_t* op) const;

 private:
  void CreateImageList();
  // A new empty list of the list's size, mask and background.
  HIMAGELIST NewImageList() const;
  // Makes H the list's handle, tells the watchers at once and destroys the
  // old handle after that.
  void ReplaceHandle(HIMAGELIST H);
  void FreeHandle();
  int width_ = 16, height_ = 16;
  bool masked_ = true;
  TColor bkColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  TImageType imageType_ = itImage;
  HIMAGELIST handle_ = nullptr;
  std::vector<TChangeLink*> links_;
  int updateCount_ = 0;
  bool pendingChange_ = false;
};

// An image list that can show one of its pictures under the mouse pointer
// while something is dragged (the system's image-list drag). Only one
// picture is dragged at a time in a program; the coordinates are relative
// to the top-left corner of the locked window (its window rectangle, not
// its client area).
class TDragImageList : public TCustomImageList {
 public:
  explicit TDragImageList(TComponent* AOwner) : TCustomImageList(AOwner) {}
  TDragImageList(TComponent* AOwner, int w, int h) : TCustomImageList(AOwner, w, h) {}
  ~TDragImageList() override;
  const char* ClassName() const override { return "TDragImageList"; }

  // The picture to drag and the point of it that sits under the pointer.
  bool SetDragImage(int Index, int HotSpotX, int HotSpotY);
  int GetDragIndex() const { return dragIndex_; }
  TPoint GetHotSpot() const { return hotSpot_; }
  // Starts showing the picture over Window (null: the whole screen) at X, Y.
  bool BeginDrag(HWND Window, int X, int Y);
  // Moves the picture to another window (DragUnlock takes it off).
  bool DragLock(HWND Window, int X, int Y);
  void DragUnlock();
  bool DragMove(int X, int Y);
  bool EndDrag();
  // Takes the picture off the screen while the window below is painted,
  // and puts it back.
  void HideDragImage();
  void ShowDragImage();
  bool Dragging() const { return dragging_; }
  HWND GetLockedWindow() const { return lockWindow_; }

 private:
  int dragIndex_ = 0;
  TPoint hotSpot_{};
  bool dragging_ = false;
  bool locked_ = false;
  HWND lockWindow_ = nullptr;
};

class TImageList : public TDragImageList {
 public:
  explicit TImageList(TComponent* AOwner) : TDragImageList(AOwner) {}
  TImageList(TComponent* AOwner, int w, int h) : TDragImageList(AOwner, w, h) {}
  const char* ClassName() const override { return "TImageList"; }
};
