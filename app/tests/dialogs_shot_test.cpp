// Pictures of the dialogs for a look by eye: with ZEMBRIO_DIALOG_SHOTS set
// to a folder, each dialog is shown and saved there as a bitmap.
#include <cstdio>

#include "app/AboutForm.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/OptionsForm.h"
#include "app/tests/dialogs_support.h"

using namespace dlgtest;

namespace {

void SaveWindow(HWND h, const String& file) {
  RECT r;
  GetWindowRect(h, &r);
  const int w = r.right - r.left, ht = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = ht;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  const DWORD stride = ((w * 3 + 3) / 4) * 4;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + stride * ht;
  if (FILE* f = _wfopen(file.c_str(), L"wb")) {
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    fwrite(bits, stride * ht, 1, f);
    fclose(f);
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

class ShotTest : public DialogTest {
 protected:
  void Shot(TCustomForm* form, const wchar_t* name, const std::function<void()>& prepare = {}) {
    RunModal(form, [&] {
      if (prepare) prepare();
      SetWindowPos(form->GetHandle(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
      Pump(300);
      SaveWindow(form->GetHandle(), folder + L"\\" + name + L".bmp");
      form->SetModalResult(mrCancel);
    });
  }
  String folder;
};

TEST_F(ShotTest, EveryDialog) {
  const wchar_t* dir = _wgetenv(L"ZEMBRIO_DIALOG_SHOTS");
  if (!dir) GTEST_SKIP() << "set ZEMBRIO_DIALOG_SHOTS to a folder to take the pictures";
  folder = dir;
  dm->EditRootKey = RegRoot::CurrentUser;
  dm->EditKeyPath = L"\\Software\\Quorvel";
  dm->EditValueName = L"Sample";
  dm->EditValueType = 3;
  dm->EditInteger = 255;
  TfrmEditValue ev(nullptr, dm.get());
  Shot(&ev, L"edit_integer", [&] { ev.pagEditFormat->SelectNextPage(true); });
  dm->EditValueType = 1;
  dm->EditString = L"Hello, registry";
  Shot(&ev, L"edit_string");
  dm->EditBinary = std::string("\x00\x01\x02\x03\x41\x42\x43\x44\xFF\xFE\x10\x20", 12);
  TfrmEditValueBin eb(nullptr, dm.get());
  Shot(&eb, L"edit_binary");
  TfrmFind fd(nullptr, dm.get());
  Shot(&fd, L"find", [&] { fd.cboText->SetText(L"needle"); });
  TfrmOptions op(nullptr, dm.get());
  Shot(&op, L"options_general");
  Shot(&op, L"options_appearance", [&] { op.pagesOptions->SelectNextPage(true); });
  TfrmAbout ab(nullptr);
  Shot(&ab, L"about");
}

}  // namespace
