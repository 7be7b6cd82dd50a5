#include "extlib/ExPictureDialog.h"

#include <algorithm>

const wchar_t* const GraphicFilter =
    L"All (*.bmp;*.ico)|*.bmp;*.ico|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico";

// ---------------------------------------------------------------------------
// TPicturePreview

bool TPicturePreview::Preview(const String& FileName) {
  Clear();
  String Ext = LowerCase(ExtractFileExt(FileName));
  if (Ext != L".bmp" && Ext != L".ico") return false;
  try {
    picture_.LoadFromFile(FileName);
  } catch (const Exception&) {
    picture_.Clear();
    return false;
  }
  shown_ = picture_.GetWidth() > 0 && picture_.GetHeight() > 0;
  if (!shown_) picture_.Clear();
  return shown_;
}

void TPicturePreview::Clear() {
  picture_.Clear();
  shown_ = false;
}

String TPicturePreview::SizeText() const {
  if (!shown_) return L"(None)";
  return Format(L"%d x %d", picture_.GetWidth(), picture_.GetHeight());
}

void TPicturePreview::Paint(HDC DC, const TRect& R) {
  HBRUSH Face = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(DC, &R, Face);
  if (!shown_) return;
  int W = picture_.GetWidth(), H = picture_.GetHeight();
  int RW = R.right - R.left, RH = R.bottom - R.top;
  // Shrunk to fit, never enlarged.
  if (W > RW || H > RH) {
    if (int64_t(W) * RH > int64_t(H) * RW) {
      H = std::max(1, int(int64_t(H) * RW / W));
      W = RW;
    } else {
      W = std::max(1, int(int64_t(W) * RH / H));
      H = RH;
    }
  }
  int X = R.left + (RW - W) / 2, Y = R.top + (RH - H) / 2;
  TGraphic* G = picture_.GetGraphic();
  if (auto* B = dynamic_cast<TBitmap*>(G)) {
    int Old = SetStretchBltMode(DC, HALFTONE);
    StretchBlt(DC, X, Y, W, H, B->Canvas()->GetHandle(), 0, 0, B->GetWidth(), B->GetHeight(), SRCCOPY);
    SetStretchBltMode(DC, Old);
  } else if (auto* I = dynamic_cast<TIcon*>(G)) {
    DrawIconEx(DC, X, Y, I->GetHandle(), W, H, 0, nullptr, DI_NORMAL);
  }
}

// ---------------------------------------------------------------------------
// TOpenPictureDialog

namespace {
// The dialog being run on this thread (the dialog is modal).
thread_local TOpenPictureDialog* RunningDialog = nullptr;
}  // namespace

TOpenPictureDialog::TOpenPictureDialog(TComponent* AOwner) : TOpenDialog(AOwner) { SetFilter(GraphicFilter); }

void TOpenPictureDialog::PrepareOpenFileName(OPENFILENAMEW& ofn, std::vector<wchar_t>& fileBuffer) {
  TOpenDialog::PrepareOpenFileName(ofn, fileBuffer);
  // An empty child dialog below the system's controls: the preview is
  // made in it when it starts.
  template_.assign(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
  auto* T = reinterpret_cast<DLGTEMPLATE*>(template_.data());
  T->style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL;
  T->cx = 160;
  T->cy = 84;
  ofn.hInstance = reinterpret_cast<HINSTANCE>(template_.data());
  ofn.Flags |= OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;
  ofn.lpfnHook = &TOpenPictureDialog::HookProc;
  ofn.lCustData = reinterpret_cast<LPARAM>(this);
  preview_.Clear();
}

void TOpenPictureDialog::InitPreview(HWND Dlg) {
  RECT R;
  GetClientRect(Dlg, &R);
  HFONT Font = reinterpret_cast<HFONT>(SendMessageW(GetParent(Dlg), WM_GETFONT, 0, 0));
  sizeWnd_ = CreateWindowExW(0, L"STATIC", L"(None)", WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 2, R.right - 16, 16, Dlg,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(SizeTextId)), nullptr, nullptr);
  imageWnd_ = CreateWindowExW(WS_EX_STATICEDGE, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 8, 20,
                              R.right - 16, std::max<LONG>(R.bottom - 24, 8), Dlg,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(ImageId)), nullptr, nullptr);
  if (Font) SendMessageW(sizeWnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
}

void TOpenPictureDialog::SelectionChanged(HWND Dlg) {
  wchar_t Path[MAX_PATH * 2] = {};
  LRESULT N = SendMessageW(GetParent(Dlg), CDM_GETFILEPATH, MAX_PATH * 2, reinterpret_cast<LPARAM>(Path));
  if (N > 0 && !DirectoryExists(Path))
    preview_.Preview(Path);
  else
    preview_.Clear();
  SetWindowTextW(sizeWnd_, preview_.SizeText().c_str());
  InvalidateRect(imageWnd_, nullptr, TRUE);
}

UINT_PTR CALLBACK TOpenPictureDialog::HookProc(HWND Dlg, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_INITDIALOG) {
    auto* Ofn = reinterpret_cast<OPENFILENAMEW*>(LParam);
    RunningDialog = reinterpret_cast<TOpenPictureDialog*>(Ofn->lCustData);
    if (RunningDialog) RunningDialog->InitPreview(Dlg);
    return 0;
  }
  TOpenPictureDialog* Self = RunningDialog;
  if (!Self) return 0;
  switch (Msg) {
    case WM_NOTIFY: {
      auto* N = reinterpret_cast<OFNOTIFYW*>(LParam);
      if (N->hdr.code == CDN_SELCHANGE || N->hdr.code == CDN_FOLDERCHANGE) Self->SelectionChanged(Dlg);
      break;
    }
    case WM_DRAWITEM: {
      auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(LParam);
      if (D->CtlID != ImageId) break;
      Self->preview_.Paint(D->hDC, D->rcItem);
      SetWindowLongPtrW(Dlg, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_DESTROY:
      Self->sizeWnd_ = Self->imageWnd_ = nullptr;
      RunningDialog = nullptr;
      break;
    default:
      break;
  }
  return 0;
}
