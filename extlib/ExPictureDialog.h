// Open and save dialogs for pictures: the system's file dialog with a
// preview of the selected picture and its size below the file list.
#pragma once

#include "classlib/Dialogs.h"

// The preview shown by a picture dialog: the picture of a file, or none.
class TPicturePreview : public TObject {
 public:
  // Loads the file when it holds a picture; false (and no picture) when not.
  bool Preview(const String& FileName);
  void Clear();
  TPicture* Picture() { return &picture_; }
  // "width x height" of the picture, or "(None)".
  String SizeText() const;
  // Draws the picture into R, shrunk to fit and centred (nothing when none).
  void Paint(HDC DC, const TRect& R);

 private:
  TPicture picture_;
  bool shown_ = false;
};

class TOpenPictureDialog : public TOpenDialog {
 public:
  explicit TOpenPictureDialog(TComponent* AOwner);
  TPicturePreview* Preview() { return &preview_; }
  // The preview's window while the dialog runs (0 otherwise).
  HWND GetPreviewHandle() const { return imageWnd_; }

  // Control ids of the preview's size text and picture.
  static constexpr int SizeTextId = 1200;
  static constexpr int ImageId = 1201;

 protected:
  void PrepareOpenFileName(OPENFILENAMEW& ofn, std::vector<wchar_t>& fileBuffer) override;

 private:
  static UINT_PTR CALLBACK HookProc(HWND Dlg, UINT Msg, WPARAM WParam, LPARAM LParam);
  void InitPreview(HWND Dlg);
  void SelectionChanged(HWND Dlg);

  TPicturePreview preview_;
  std::vector<WORD> template_;
  HWND sizeWnd_ = nullptr;
  HWND imageWnd_ = nullptr;
};

class TSavePictureDialog : public TOpenPictureDialog {
 public:
  explicit TSavePictureDialog(TComponent* AOwner) : TOpenPictureDialog(AOwner) {}

 protected:
  BOOL CallDialog(OPENFILENAMEW& ofn) override { return GetSaveFileNameW(&ofn); }
};

// The filter of the picture files the library reads: bitmaps and icons.
extern const wchar_t* const GraphicFilter;
