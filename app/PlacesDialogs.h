// Open and save dialogs that show the places bar of the system's file
// dialogs on Windows 2000, ME and later (the enlarged dialog record with
// FlagsEx); on older systems the record keeps its older size and the
// dialog has no places bar. Windows only.
#pragma once

#include <functional>

#include "classlib/Dialogs.h"
#include "classlib/Filer.h"

class TPlacesOpenDialog : public TOpenDialog {
 public:
  explicit TPlacesOpenDialog(TComponent* AOwner);
  const char* ClassName() const override { return "TPlacesOpenDialog"; }

  bool GetShowPlacesBar() const { return showPlacesBar_; }
  void SetShowPlacesBar(bool v) { showPlacesBar_ = v; }

  bool Execute() override;

  // Windows 2000 or later on the NT platform, ME or later on the other.
  static bool IsWin2000();
  static bool PlacesBarSupported(DWORD PlatformId, DWORD Major, DWORD Minor);

  // Seams for tests: the system's version (platform, major, minor; false
  // when it can't be had) and the system dialog call (the record as it is
  // handed over and whether it is the save dialog).
  static std::function<bool(DWORD& PlatformId, DWORD& Major, DWORD& Minor)> VersionHook;
  static std::function<BOOL(OPENFILENAMEW& Ofn, bool Save)> DialogHook;

 protected:
  // Stores ShowPlacesBar with the form always, whatever its value.
  void DefineProperties(TFiler* Filer) override;
  void PrepareOpenFileName(OPENFILENAMEW& ofn, std::vector<wchar_t>& fileBuffer) override;
  BOOL CallDialog(OPENFILENAMEW& ofn) override;
  virtual bool IsSaveDialog() const { return false; }

 private:
  bool showPlacesBar_ = true;
};

class TPlacesSaveDialog : public TPlacesOpenDialog {
 public:
  explicit TPlacesSaveDialog(TComponent* AOwner) : TPlacesOpenDialog(AOwner) {}
  const char* ClassName() const override { return "TPlacesSaveDialog"; }

 protected:
  bool IsSaveDialog() const override { return true; }
};

namespace PlacesDialogs {
// For a form designer: both dialogs on the component page "Samples".
void Register();
}  // namespace PlacesDialogs
