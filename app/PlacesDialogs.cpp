#include "app/PlacesDialogs.h"

std::function<bool(DWORD&, DWORD&, DWORD&)> TPlacesOpenDialog::VersionHook;
std::function<BOOL(OPENFILENAMEW&, bool)> TPlacesOpenDialog::DialogHook;

TPlacesOpenDialog::TPlacesOpenDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

bool TPlacesOpenDialog::PlacesBarSupported(DWORD PlatformId, DWORD Major, DWORD Minor) {
  if (PlatformId == VER_PLATFORM_WIN32_NT) return Major >= 5;
  if (PlatformId == VER_PLATFORM_WIN32_WINDOWS) return Major >= 4 && Minor >= 90;
  return false;
}

bool TPlacesOpenDialog::IsWin2000() {
  DWORD platform = 0, major = 0, minor = 0;
  if (VersionHook) {
    if (!VersionHook(platform, major, minor)) return false;
  } else {
    OSVERSIONINFOW vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&vi)) return false;
#pragma GCC diagnostic pop
    platform = vi.dwPlatformId;
    major = vi.dwMajorVersion;
    minor = vi.dwMinorVersion;
  }
  return PlacesBarSupported(platform, major, minor);
}

void TPlacesOpenDialog::PrepareOpenFileName(OPENFILENAMEW& ofn, std::vector<wchar_t>& fileBuffer) {
  TOpenDialog::PrepareOpenFileName(ofn, fileBuffer);
  if (IsWin2000()) {
    // The whole record of this platform (its size differs between 32 and
    // 64 bits, so it is never a fixed number).
    ofn.lStructSize = sizeof(OPENFILENAMEW);
    ofn.pvReserved = nullptr;
    ofn.dwReserved = 0;
    ofn.FlagsEx = showPlacesBar_ ? 0 : OFN_EX_NOPLACESBAR;
  } else {
    // The older systems know only the record without the last three fields.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.pvReserved = nullptr;
    ofn.dwReserved = 0;
    ofn.FlagsEx = 0;
  }
}

BOOL TPlacesOpenDialog::CallDialog(OPENFILENAMEW& ofn) {
  if (DialogHook) return DialogHook(ofn, IsSaveDialog());
  return IsSaveDialog() ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
}

bool TPlacesOpenDialog::Execute() { return DoExecute(); }

void TPlacesOpenDialog::DefineProperties(TFiler* Filer) {
  TOpenDialog::DefineProperties(Filer);
  Filer->DefineProperty(
      L"ShowPlacesBar", [this](TReader* R) { showPlacesBar_ = R->ReadBoolean(); },
      [this](TWriter* W) { W->WriteBoolean(showPlacesBar_); }, true);
}

void PlacesDialogs::Register() {
  RegisterComponents(L"Samples", {ComponentClass<TPlacesOpenDialog>(L"TPlacesOpenDialog"),
                                  ComponentClass<TPlacesSaveDialog>(L"TPlacesSaveDialog")});
}
