// Dragging, automatic scrolling, painting the whole tree to a canvas,
// printing, tree files and the built-in check pictures.
#include <cmath>
#include <cstring>
#include <vector>

#include "classlib/Forms.h"
#include "treecontrol/TreeEx.h"

#include <winspool.h>

namespace {
const unsigned char kSignature[5] = {0x0D, 'T', 'N', 'T', 0x0D};

HIMAGELIST gCheckImages = nullptr;

struct TCheckImagesCleanup {
  ~TCheckImagesCleanup() {
    if (gCheckImages) ImageList_Destroy(gCheckImages);
  }
} gCheckImagesCleanup;
}  // namespace

// ---------------------------------------------------------------------------
// Check pictures

HIMAGELIST TCustomTreeEx::CheckImages() {
  if (!gCheckImages) RebuildCheckImages();
  return gCheckImages;
}

void TCustomTreeEx::RebuildCheckImages() {
  HBITMAP Bmp = static_cast<HBITMAP>(
      LoadImageW(MainInstance(), L"CHECK_LIGHT", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!Bmp) return;  // the program was linked without the tree's resources
  BITMAP Info{};
  GetObjectW(Bmp, sizeof Info, &Info);
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, Bmp);
  // Entries 7 and 8 are the button shadow and face of the current scheme.
  RGBQUAD Colors[2];
  COLORREF Shadow = GetSysColor(COLOR_BTNSHADOW), Face = GetSysColor(COLOR_BTNFACE);
  Colors[0] = RGBQUAD{GetBValue(Shadow), GetGValue(Shadow), GetRValue(Shadow), 0};
  Colors[1] = RGBQUAD{GetBValue(Face), GetGValue(Face), GetRValue(Face), 0};
  SetDIBColorTable(DC, 7, 2, Colors);
  COLORREF Transparent = GetPixel(DC, 0, 0);
  int Size = Info.bmHeight;
  // Every tree holds the list's handle: the pictures are renewed inside the
  // same list (setting the size empties it), never in a new one.
  HIMAGELIST L = gCheckImages;
  if (L) ImageList_SetIconSize(L, Size, Size);
  else L = ImageList_Create(Size, Size, ILC_COLOR24 | ILC_MASK, 9, 0);
  // The whole strip goes in at once: the list cuts it into square pictures
  // (a partial one at the end is left out).
  const int Width = Size > 0 ? Info.bmWidth / Size * Size : 0;
  if (Width > 0) {
    HDC Screen = GetDC(nullptr);
    HBITMAP Strip = CreateCompatibleBitmap(Screen, Width, Size);
    ReleaseDC(nullptr, Screen);
    HDC Copy = CreateCompatibleDC(nullptr);
    HGDIOBJ OldCopy = SelectObject(Copy, Strip);
    BitBlt(Copy, 0, 0, Width, Size, DC, 0, 0, SRCCOPY);
    SelectObject(Copy, OldCopy);
    DeleteDC(Copy);
    ImageList_AddMasked(L, Strip, Transparent);
    DeleteObject(Strip);
  }
  SelectObject(DC, Old);
  DeleteDC(DC);
  DeleteObject(Bmp);
  gCheckImages = L;
}

// ---------------------------------------------------------------------------
// Dragging and scrolling

void TCustomTreeEx::DoStartDrag(TDragObject*& DragObject) {
  TWinControl::DoStartDrag(DragObject);
  TTreeExNode* N = FDragNode;
  FDragNode = nullptr;
  if (!N && handle_) {
    TPoint P;
    GetCursorPos(&P);
    P = ScreenToClient(P);
    N = GetNodeAt(P.x, P.y);
  }
  // The list the native control makes is ours; it may come empty (then the
  // drag shows no picture). No picture of an earlier drag is shown again.
  HIMAGELIST Pic = nullptr;
  if (N && N->FItemId)
    Pic = reinterpret_cast<HIMAGELIST>(SendTV(TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(N->FItemId)));
  if (Pic) {
    FDragImages->SetHandle(Pic);
    FDragImages->SetDragImage(0, 2, 2);
  } else if (FDragImages->HandleAllocated()) {
    FDragImages->Clear();
  }
  StartTimer(TTreeTimer::DragExpand, 1000);
}

// The drag picture (this tree's or a drag source's) is taken off the screen
// while the tree paints under it (a new drop target, an opened branch, a
// scrolled view) and put back after, over what was painted.
bool TCustomTreeEx::HideDragImage() { return ImageList_DragShowNolock(FALSE) != FALSE; }

void TCustomTreeEx::ShowDragImage() {
  if (handle_) UpdateWindow(handle_);
  ImageList_DragShowNolock(TRUE);
}

TDragImageList* TCustomTreeEx::GetDragImages() {
  return FDragImages->GetCount() > 0 ? FDragImages.get() : nullptr;
}

void TCustomTreeEx::DoDragOver(TDragObject* Source, int X, int Y, bool /*CanDrop*/) {
  FDragObject = Source;
  if (FOptions.Contains(toAutoScroll)) DoAutoScroll(X, Y);
  TTreeExNode* N = GetNodeAt(X, Y);
  if (N && N != GetDropTarget()) {
    StopTimer(TTreeTimer::DragExpand);
    bool Shown = HideDragImage();
    SetDropTarget(N);
    if (Shown) ShowDragImage();
    StartTimer(TTreeTimer::DragExpand, 1000);
  }
}

void TCustomTreeEx::CMDrag(TMessage& M) {
  TWinControl::WndProc(M);
  auto* Rec = reinterpret_cast<TDragRec*>(M.LParam);
  switch (static_cast<TDragMessage>(M.WParam)) {
    case dmDragLeave: {
      bool Shown = HideDragImage();
      if (TTreeExNode* D = GetDropTarget()) D->SetDropTarget(false);
      SetDropTarget(nullptr);
      if (Shown) ShowDragImage();
      StopTimer(TTreeTimer::DragExpand);
      StopTimer(TTreeTimer::Scroll);
      FDragObject = nullptr;
      break;
    }
    case dmDragEnter:
    case dmDragMove:
      // Entering is the first move over the tree.
      if (Rec) {
        TPoint P = ScreenToClient(Rec->Pos);
        DoDragOver(Rec->Source, P.x, P.y, M.Result != 0);
      }
      break;
    case dmDragDrop:
    case dmDragCancel: {
      FDragObject = nullptr;
      FDragged = false;
      StopTimer(TTreeTimer::DragExpand);
      StopTimer(TTreeTimer::Scroll);
      // The drop has been handled (OnDragDrop could still read the drop
      // target); the highlight goes with the drag.
      if (TTreeExNode* D = GetDropTarget()) {
        bool Shown = HideDragImage();
        D->SetDropTarget(false);
        SetDropTarget(nullptr);
        if (Shown) ShowDragImage();
      }
      break;
    }
    default: break;
  }
}

void TCustomTreeEx::DoEndDrag(TObject* Target, int X, int Y) {
  StopTimer(TTreeTimer::DragExpand);
  StopTimer(TTreeTimer::Scroll);
  FDragged = false;
  TWinControl::DoEndDrag(Target, X, Y);
  TTreeExNode* D = GetDropTarget();
  FItems->Repaint(D);
  FItems->Repaint(GetSelection());
}

void TCustomTreeEx::DoDragExpand() {
  StopTimer(TTreeTimer::DragExpand);
  if (!FOptions.Contains(toAutoExpand)) return;
  TTreeExNode* D = GetDropTarget();
  if (D && D->FChildrenFlag && !D->FExpanded) {
    bool Shown = HideDragImage();
    D->Expand(false);
    if (handle_) UpdateWindow(handle_);
    if (Shown) ShowDragImage();
  }
}

int TCustomTreeEx::EffectiveItemHeight() {
  int H = GetItemHeight();
  if (H == 0) {
    if (TTreeExNode* F = FItems->GetFirstNode()) H = RectHeight(F->DisplayRect(false));
  } else if (TTreeExNode* F = FItems->GetFirstNode()) {
    int I = F->GetIntegralHeight();
    if (I > 0) H /= I;
  }
  return H;
}

void TCustomTreeEx::DoAutoScroll(int X, int Y) {
  if (!handle_) return;
  int ItemH = GetItemHeight();
  int Margin = ItemH >= 1 ? ItemH / 2 : std::abs(font_->GetHeight());
  FScrollDirections = TScrollDirection{};
  SCROLLINFO HI{sizeof HI, SIF_ALL}, VI{sizeof VI, SIF_ALL};
  if (!GetScrollInfo(handle_, SB_HORZ, &HI)) HI = SCROLLINFO{sizeof HI};
  if (!GetScrollInfo(handle_, SB_VERT, &VI)) VI = SCROLLINFO{sizeof VI};
  TRect C = GetClientRect();
  if (X < Margin && HI.nPos > HI.nMin) FScrollDirections += sdLeft;
  if (HI.nPage != 0 && HI.nPos + static_cast<int>(HI.nPage) - 1 < HI.nMax && X > RectWidth(C) - Margin)
    FScrollDirections += sdRight;
  if (Y < Margin && VI.nPos > VI.nMin) FScrollDirections += sdUp;
  if (VI.nPage != 0 && Y > RectHeight(C) - Margin && VI.nPos + static_cast<int>(VI.nPage) - 1 < VI.nMax)
    FScrollDirections += sdDown;
  FScrollInterval = 300;
  if (FScrollDirections.Empty())
    StopTimer(TTreeTimer::Scroll);
  else
    StartTimer(TTreeTimer::Scroll, FScrollInterval);
}

void TCustomTreeEx::DoScroll() {
  StopTimer(TTreeTimer::Scroll);
  if (!handle_) return;
  if (FScrollInterval == 300) FScrollInterval = 50;
  UINT I = FScrollInterval;
  if (I >= 2) FScrollInterval = I * 3 / 4;
  bool Band = FRubberBand && !IsRectEmpty(&FBandRect);
  if (Band) DrawFocusRect(FBandRect);
  bool Shown = HideDragImage();
  SCROLLINFO VI{sizeof VI, SIF_ALL}, HI{sizeof HI, SIF_ALL};
  GetScrollInfo(handle_, SB_VERT, &VI);
  GetScrollInfo(handle_, SB_HORZ, &HI);
  int ItemH = std::max(1, EffectiveItemHeight());
  if (FScrollDirections.Contains(sdUp)) {
    if (VI.nPos > VI.nMin) {
      SendTV(WM_VSCROLL, I == 1 ? SB_PAGEUP : SB_LINEUP);
      SCROLLINFO After{sizeof After, SIF_POS};
      GetScrollInfo(handle_, SB_VERT, &After);
      int D = (VI.nPos - After.nPos) * ItemH;
      FBandStart.y += D;
      FBandRect.bottom += D;
    } else {
      FScrollDirections -= sdUp;
    }
  }
  if (FScrollDirections.Contains(sdDown)) {
    if (VI.nPos + static_cast<int>(VI.nPage) - 1 < VI.nMax) {
      SendTV(WM_VSCROLL, I == 1 ? SB_PAGEDOWN : SB_LINEDOWN);
      SCROLLINFO After{sizeof After, SIF_POS};
      GetScrollInfo(handle_, SB_VERT, &After);
      int D = (After.nPos - VI.nPos) * ItemH;
      FBandStart.y -= D;
      FBandRect.top -= D;
    } else {
      FScrollDirections -= sdDown;
    }
  }
  if (FScrollDirections.Contains(sdLeft)) {
    if (HI.nPos > HI.nMin) {
      SendTV(WM_HSCROLL, SB_LINELEFT);
      FBandStart.x += 5;
      FBandRect.right += 5;
    } else {
      FScrollDirections -= sdLeft;
    }
  }
  if (FScrollDirections.Contains(sdRight)) {
    if (HI.nPos + static_cast<int>(HI.nPage) - 1 < HI.nMax) {
      SendTV(WM_HSCROLL, SB_LINERIGHT);
      FBandStart.x -= 5;
      FBandRect.left -= 5;
    } else {
      FScrollDirections -= sdRight;
    }
  }
  if (Band) DrawFocusRect(FBandRect);
  if (Shown) ShowDragImage();
  if (!FScrollDirections.Empty()) StartTimer(TTreeTimer::Scroll, FScrollInterval);
}

// ---------------------------------------------------------------------------
// Painting the whole tree

int TCustomTreeEx::GetTreeWidth() {
  SCROLLINFO HI{sizeof HI, SIF_ALL};
  if (handle_ && GetScrollInfo(handle_, SB_HORZ, &HI) && HI.nPage != 0) return HI.nMax + 1;
  return GetClientWidth();
}

int TCustomTreeEx::GetTreeHeight() {
  SCROLLINFO VI{sizeof VI, SIF_ALL};
  if (handle_ && GetScrollInfo(handle_, SB_VERT, &VI) && VI.nPage != 0)
    return (VI.nMax + 1) * EffectiveItemHeight();
  return GetClientHeight();
}

void TCustomTreeEx::DrawTo(TCanvas* Canvas) {
  if (Canvas) DrawTo(Canvas->GetHandle());
}

// Page by page: each client-sized view is rendered by the control itself
// into a memory context (never copied from the screen, where other windows
// may cover it) and placed at its position in the target.
void TCustomTreeEx::DrawTo(HDC Target) {
  if (!Target || !handle_ || !FItems->GetFirstNode()) return;
  TRect C = GetClientRect();
  int CW = RectWidth(C), CH = RectHeight(C);
  if (CW <= 0 || CH <= 0) return;
  int ItemH = EffectiveItemHeight();
  int TreeW = GetTreeWidth(), TreeH = GetTreeHeight();
  if (TreeW <= 0 || TreeH <= 0 || ItemH <= 0) return;
  SCROLLINFO VI{sizeof VI, SIF_ALL}, HI{sizeof HI, SIF_ALL};
  bool HasV = GetScrollInfo(handle_, SB_VERT, &VI) && VI.nPage != 0;
  bool HasH = GetScrollInfo(handle_, SB_HORZ, &HI) && HI.nPage != 0;
  int SavedV = HasV ? VI.nPos : 0, SavedH = HasH ? HI.nPos : 0;
  HDC Mem = CreateCompatibleDC(Target);
  HBITMAP Page = CreateCompatibleBitmap(Target, CW, CH);
  HGDIOBJ Old = SelectObject(Mem, Page);
  SendTV(WM_VSCROLL, SB_TOP);
  int VSteps = (TreeH + CH - 1) / CH, HSteps = (TreeW + CW - 1) / CW;
  for (int V = 0; V <= VSteps; ++V) {
    SCROLLINFO Now{sizeof Now, SIF_POS};
    int Y = HasV && GetScrollInfo(handle_, SB_VERT, &Now) ? Now.nPos * ItemH : 0;
    SendTV(WM_HSCROLL, SB_LEFT);
    for (int H = 0; H <= HSteps; ++H) {
      SCROLLINFO HNow{sizeof HNow, SIF_POS};
      int X = HasH && GetScrollInfo(handle_, SB_HORZ, &HNow) ? HNow.nPos : 0;
      SendTV(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Mem), PRF_CLIENT | PRF_ERASEBKGND);
      BitBlt(Target, X, Y, CW, CH, Mem, 0, 0, SRCCOPY);
      SendTV(WM_HSCROLL, SB_PAGERIGHT);
    }
    SendTV(WM_VSCROLL, SB_PAGEDOWN);
  }
  SelectObject(Mem, Old);
  DeleteObject(Page);
  DeleteDC(Mem);
  SendTV(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, SavedV));
  SendTV(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, SavedH));
}

// ---------------------------------------------------------------------------
// Printing

TRect TreePrintRect(double LeftMM, double TopMM, double WidthMM, int BitmapWidth, int BitmapHeight, int DpiX,
                    int DpiY) {
  if (BitmapWidth <= 0 || BitmapHeight <= 0 || DpiX <= 0 || DpiY <= 0 || WidthMM <= 0) return TRect{};
  double PX = DpiX / 25.4, PY = DpiY / 25.4;
  long X = std::lround(LeftMM * PX), Y = std::lround(TopMM * PY), W = std::lround(WidthMM * PX);
  long H = std::lround(BitmapHeight * PY * W / BitmapWidth / PX);
  return TRect{X, Y, X + W, Y + H};
}

namespace {
class TDefaultPrinter : public TTreePrintTarget {
 public:
  HDC BeginDoc(const String& Title) override {
    DWORD Size = 0;
    GetDefaultPrinterW(nullptr, &Size);
    if (Size == 0) throw EPrinterError(L"There is no default printer");
    String Name(Size, L'\0');
    if (!GetDefaultPrinterW(Name.data(), &Size)) throw EPrinterError(L"There is no default printer");
    Name.resize(wcsnlen(Name.c_str(), Name.size()));
    DC_ = CreateDCW(L"WINSPOOL", Name.c_str(), nullptr, nullptr);
    if (!DC_) throw EPrinterError(L"Printer selected is not valid");
    DOCINFOW DI{sizeof DI};
    DI.lpszDocName = Title.c_str();
    if (StartDocW(DC_, &DI) <= 0 || StartPage(DC_) <= 0) {
      DeleteDC(DC_);
      DC_ = nullptr;
      throw EPrinterError(L"Printing could not be started");
    }
    return DC_;
  }
  void EndDoc() override {
    EndPage(DC_);
    ::EndDoc(DC_);
    DeleteDC(DC_);
    DC_ = nullptr;
  }
  void Abort() override {
    if (!DC_) return;
    AbortDoc(DC_);
    DeleteDC(DC_);
    DC_ = nullptr;
  }

 private:
  HDC DC_ = nullptr;
};
}  // namespace

bool TTreePrintTarget::ScreenHasPalette() {
  HDC Screen = GetDC(nullptr);
  bool R = (GetDeviceCaps(Screen, RASTERCAPS) & RC_PALETTE) != 0;
  ReleaseDC(nullptr, Screen);
  return R;
}

namespace {
// Prints a bitmap stretched onto Dest of the printer through a
// device-independent bitmap: on a palette screen 8 bits a pixel with the
// 256 colours of Pal (header and colour table 1064 bytes), else 24 bits.
void StretchBitmapToPrinter(HDC Printer, HBITMAP Bmp, HPALETTE Pal, const TRect& Dest) {
  BITMAP BM{};
  if (!GetObjectW(Bmp, sizeof BM, &BM)) throw EPrinterError(L"The tree could not be printed");
  const bool Eight = Pal != nullptr;
  std::vector<unsigned char> Header(sizeof(BITMAPINFOHEADER) + (Eight ? 256 : 1) * sizeof(RGBQUAD));
  auto* BI = reinterpret_cast<BITMAPINFO*>(Header.data());
  BITMAPINFOHEADER& H = BI->bmiHeader;
  H.biSize = sizeof H;
  H.biWidth = BM.bmWidth;
  H.biHeight = BM.bmHeight;
  H.biPlanes = 1;
  H.biBitCount = Eight ? 8 : 24;
  H.biCompression = BI_RGB;
  H.biSizeImage = static_cast<DWORD>(H.biBitCount * BM.bmWidth / 8 * BM.bmHeight);
  if (Eight) H.biClrUsed = H.biClrImportant = 256;
  HDC Screen = GetDC(nullptr);
  HPALETTE OldScreenPal = nullptr, OldPrinterPal = nullptr;
  HGLOBAL Mem = nullptr;
  bool Done = false;
  if (Eight) {
    OldScreenPal = SelectPalette(Screen, Pal, FALSE);
    RealizePalette(Screen);
  }
  // The first call completes the header with the row-aligned image size.
  if (GetDIBits(Screen, Bmp, 0, static_cast<UINT>(BM.bmHeight), nullptr, BI, DIB_RGB_COLORS) &&
      (Mem = GlobalAlloc(GMEM_MOVEABLE, std::max<DWORD>(H.biSizeImage, 1))) != nullptr) {
    void* Bits = GlobalLock(Mem);
    if (Bits && GetDIBits(Screen, Bmp, 0, static_cast<UINT>(BM.bmHeight), Bits, BI, DIB_RGB_COLORS)) {
      if (Eight) {
        OldPrinterPal = SelectPalette(Printer, Pal, FALSE);
        RealizePalette(Printer);
      }
      Done = StretchDIBits(Printer, Dest.left, Dest.top, RectWidth(Dest), RectHeight(Dest), 0, 0, BM.bmWidth,
                           BM.bmHeight, Bits, BI, DIB_RGB_COLORS, SRCCOPY) != 0;
      if (OldPrinterPal) SelectPalette(Printer, OldPrinterPal, FALSE);
    }
    if (Bits) GlobalUnlock(Mem);
  }
  if (Mem) GlobalFree(Mem);
  if (OldScreenPal) SelectPalette(Screen, OldScreenPal, FALSE);
  ReleaseDC(nullptr, Screen);
  if (!Done) throw EPrinterError(L"The tree could not be printed");
}
}  // namespace

void TCustomTreeEx::Print(double Left, double Top, double Width, TTreePrintTarget* Target) {
  TDefaultPrinter Default;
  if (!Target) Target = &Default;
  String Title = Format(L"tree printing of %s", Application ? Application->GetTitle() : String());
  HDC DC = Target->BeginDoc(Title);
  HDC Mem = nullptr;
  HBITMAP Bmp = nullptr;
  HPALETTE Pal = nullptr;
  auto Release = [&] {
    if (Mem) DeleteDC(Mem);
    if (Bmp) DeleteObject(Bmp);
    if (Pal) DeleteObject(Pal);
    Mem = nullptr;
    Bmp = nullptr;
    Pal = nullptr;
  };
  try {
    int BW = GetTreeWidth(), BH = GetTreeHeight();
    TRect R = TreePrintRect(Left, Top, Width, BW, BH, GetDeviceCaps(DC, LOGPIXELSX), GetDeviceCaps(DC, LOGPIXELSY));
    if (RectWidth(R) > 0 && RectHeight(R) > 0) {
      // A 24-bit picture of the whole tree, stretched onto the page.
      BITMAPINFO BI{};
      BI.bmiHeader.biSize = sizeof BI.bmiHeader;
      BI.bmiHeader.biWidth = BW;
      BI.bmiHeader.biHeight = BH;
      BI.bmiHeader.biPlanes = 1;
      BI.bmiHeader.biBitCount = 24;
      BI.bmiHeader.biCompression = BI_RGB;
      void* Bits = nullptr;
      HDC Screen = GetDC(nullptr);
      Bmp = CreateDIBSection(Screen, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
      if (Bmp && Target->ScreenHasPalette()) Pal = CreateHalftonePalette(Screen);
      if (Bmp) Mem = CreateCompatibleDC(Screen);
      ReleaseDC(nullptr, Screen);
      if (!Bmp || !Bits || !Mem) throw EPrinterError(L"Not enough memory for the tree picture");
      HGDIOBJ Old = SelectObject(Mem, Bmp);
      RECT All{0, 0, BW, BH};
      FillRect(Mem, &All, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      DrawTo(Mem);
      SelectObject(Mem, Old);
      GdiFlush();
      StretchBitmapToPrinter(DC, Bmp, Pal, R);
    }
    Target->EndDoc();
  } catch (...) {
    Target->Abort();
    Release();
    throw;
  }
  Release();
}

// ---------------------------------------------------------------------------
// Tree files

void TCustomTreeEx::SaveToStream(TStream* Stream, bool Binary) {
  if (Binary) {
    Stream->WriteBuffer(kSignature, 5);
    FItems->WriteData(Stream);
  } else {
    FItems->WriteStrings(Stream);
  }
}

void TCustomTreeEx::SaveToFile(const String& FileName, bool Binary) {
  TFileStream F(FileName, fmCreate);
  SaveToStream(&F, Binary);
}

void TCustomTreeEx::LoadFromStream(TStream* Stream) {
  int64_t Start = Stream->GetPosition();
  unsigned char Head[5] = {};
  int64_t Got = Stream->Read(Head, 5);
  // Either reading takes in the whole stream before it replaces the nodes:
  // a broken one leaves the tree as it was.
  FItems->BeginUpdate();
  try {
    if (Got == 5 && std::memcmp(Head, kSignature, 5) == 0) {
      FItems->ReadData(Stream);
    } else {
      Stream->SetPosition(Start);
      FItems->ReplaceWithStrings(Stream);
    }
  } catch (...) {
    FItems->EndUpdate();
    throw;
  }
  FItems->EndUpdate();
}

void TCustomTreeEx::LoadFromFile(const String& FileName) {
  TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&F);
}
