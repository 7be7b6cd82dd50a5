// Image lists and backgrounds as the toolbars keep them, and menu releases
// beside the items.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "toolbars/BarBackground.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarPopup.h"

using namespace testsupport;

namespace {

class TStoreRoot : public TComponent {
 public:
  TStoreRoot() : TComponent(nullptr) { SetName(L"Root"); }
  const char* ClassName() const override { return "TStoreRoot"; }
};

// A strip of 8 x 8 squares, one per colour.
std::unique_ptr<TBitmap> Strip(std::initializer_list<COLORREF> Colours) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(8 * static_cast<int>(Colours.size()), 8);
  int x = 0;
  for (COLORREF c : Colours) {
    RECT r{x, 0, x + 8, 8};
    HBRUSH br = CreateSolidBrush(c);
    FillRect(b->Canvas()->GetHandle(), &r, br);
    DeleteObject(br);
    x += 8;
  }
  return b;
}

COLORREF ImagePixel(TCustomImageList* IL, int Index) {
  MemCanvas s(IL->GetWidth(), IL->GetHeight());
  IL->Draw(&s.C, 0, 0, Index, true);
  return s.At(IL->GetWidth() / 2, IL->GetHeight() / 2);
}

// How often a property name is in a stream (names are stored with a length
// byte before them).
size_t NameCount(const TMemoryStream& M, const std::string& Name) {
  const char* p = static_cast<const char*>(M.Memory());
  const std::string bytes(p, p + const_cast<TMemoryStream&>(M).GetSize());
  const std::string key = std::string(1, static_cast<char>(Name.size())) + Name;
  size_t n = 0;
  for (size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) ++n;
  return n;
}

TEST(BarImageStreaming, ImagesAndStateListsReadBackAndABitmapListStoresOnlyItsBitmap) {
  BarFiler::RegisterClasses();
  const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  TMemoryStream m;
  {
    TStoreRoot src;
    auto* hot = new TBarImageList(&src);
    hot->SetName(L"ilHot");
    auto* main = new TBarImageList(&src);
    main->SetName(L"ilMain");
    main->SetSize(8, 8);
    auto two = Strip({red, green});
    main->Add(two.get(), nullptr);
    main->SetHotImages(hot);
    auto* fromBitmap = new TBarImageList(&src);
    fromBitmap->SetName(L"ilStrip");
    fromBitmap->SetSize(8, 8);
    auto pic = Strip({blue, RGB(255, 0, 255), green});  // the middle one is all mask
    fromBitmap->SetImagesBitmap(pic.get());
    ASSERT_EQ(fromBitmap->GetCount(), 3);
    TWriter(&m).WriteRootComponent(&src);
  }
  // ilMain stores its images; ilStrip only its bitmap.
  EXPECT_EQ(NameCount(m, "Bitmap"), 1u);
  EXPECT_EQ(NameCount(m, "ImagesBitmap"), 1u);
  EXPECT_EQ(NameCount(m, "HotImages"), 1u);

  TStoreRoot dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  auto* main = dynamic_cast<TBarImageList*>(dst.FindComponent(L"ilMain"));
  auto* hot = dynamic_cast<TBarImageList*>(dst.FindComponent(L"ilHot"));
  auto* strip = dynamic_cast<TBarImageList*>(dst.FindComponent(L"ilStrip"));
  ASSERT_TRUE(main && hot && strip);
  EXPECT_EQ(main->GetWidth(), 8);
  ASSERT_EQ(main->GetCount(), 2);
  EXPECT_EQ(ImagePixel(main, 0), red);
  EXPECT_EQ(ImagePixel(main, 1), green);
  EXPECT_EQ(main->GetHotImages(), hot);
  EXPECT_EQ(main->GetImagesBitmapMaskColor(), clFuchsia);
  ASSERT_EQ(strip->GetCount(), 3);
  EXPECT_EQ(strip->GetImagesBitmap()->GetWidth(), 24);
  EXPECT_EQ(ImagePixel(strip, 0), blue);
  EXPECT_EQ(ImagePixel(strip, 1), RGB(0, 0, 0));  // masked: the black surface shows
  EXPECT_EQ(ImagePixel(strip, 2), green);
}

TEST(BarImageList, ItsOwnBitmapStripRebuildsTheImagesWheneverItChanges) {
  const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  TBarImageList il(nullptr);
  il.SetSize(8, 8);
  // A new list has an empty strip to load into.
  ASSERT_NE(il.GetImagesBitmap(), nullptr);
  EXPECT_TRUE(il.GetImagesBitmap()->Empty());
  const std::vector<uint8_t> file = Strip({red, RGB(255, 0, 255), green})->SaveToBytes();
  il.GetImagesBitmap()->LoadFromBytes(file.data(), file.size());
  ASSERT_EQ(il.GetCount(), 3);
  EXPECT_EQ(ImagePixel(&il, 0), red);
  EXPECT_EQ(ImagePixel(&il, 1), RGB(0, 0, 0));  // all mask colour
  EXPECT_EQ(ImagePixel(&il, 2), green);

  // Drawing on the strip and resizing it rebuild the images too.
  TCanvas* c = il.GetImagesBitmap()->Canvas();
  c->GetBrush()->SetColor(static_cast<TColor>(blue));
  c->FillRect(TRect{0, 0, 8, 8});
  ASSERT_EQ(il.GetCount(), 3);
  EXPECT_EQ(ImagePixel(&il, 0), blue);
  il.GetImagesBitmap()->SetWidth(16);
  ASSERT_EQ(il.GetCount(), 2);
  EXPECT_EQ(ImagePixel(&il, 0), blue);

  // Another mask colour masks other pixels; assigning copies.
  il.SetImagesBitmapMaskColor(static_cast<TColor>(blue));
  EXPECT_EQ(ImagePixel(&il, 0), RGB(0, 0, 0));
  EXPECT_EQ(ImagePixel(&il, 1), RGB(255, 0, 255));
  auto other = Strip({green});
  il.SetImagesBitmap(other.get());
  EXPECT_NE(il.GetImagesBitmap(), other.get());
  ASSERT_EQ(il.GetCount(), 1);
  EXPECT_EQ(ImagePixel(&il, 0), green);
}

TEST(BarImageStreaming, MenusAndContainersKeepTheirImagesAndOptions) {
  BarFiler::RegisterClasses();
  TMemoryStream m;
  {
    TStoreRoot src;
    auto* il = new TBarImageList(&src);
    il->SetName(L"ilMenu");
    auto* menu = new TBarPopupMenu(&src);
    menu->SetName(L"pmMain");
    menu->SetImages(il);
    menu->SetOptions(TBarItemOptions{tboShowHint});
    auto* item = new TBarItem(&src);
    item->SetName(L"Open");
    menu->Items()->Add(item);
    auto* box = new TBarItemContainer(&src);
    box->SetName(L"Box");
    box->SetImages(il);
    TWriter(&m).WriteRootComponent(&src);
  }
  TStoreRoot dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  auto* il = dynamic_cast<TBarImageList*>(dst.FindComponent(L"ilMenu"));
  auto* menu = dynamic_cast<TBarPopupMenu*>(dst.FindComponent(L"pmMain"));
  auto* box = dynamic_cast<TBarItemContainer*>(dst.FindComponent(L"Box"));
  ASSERT_TRUE(il && menu && box);
  EXPECT_EQ(menu->GetImages(), il);
  EXPECT_EQ(menu->GetOptions(), TBarItemOptions{tboShowHint});
  ASSERT_EQ(menu->Items()->Count(), 1);
  EXPECT_EQ(menu->Items()->GetItem(0)->GetName(), L"Open");
  EXPECT_EQ(box->GetImages(), il);
}

// An 8-bit bitmap of Size x Size whose colour table holds Colours and whose
// pixels are all entry 1.
std::unique_ptr<TBitmap> Paletted(int Size, std::initializer_list<COLORREF> Colours) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf8bit);
  b->SetSize(Size, Size);
  std::vector<RGBQUAD> table;
  for (COLORREF c : Colours) table.push_back(RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b->GetHandle());
  SetDIBColorTable(dc, 0, static_cast<UINT>(table.size()), table.data());
  SelectObject(dc, old);
  DeleteDC(dc);
  for (int y = 0; y < Size; ++y) memset(b->ScanLine(y), 1, static_cast<size_t>(Size));
  return b;
}

std::vector<COLORREF> Entries(HPALETTE P) {
  PALETTEENTRY e[256];
  UINT n = GetPaletteEntries(P, 0, 256, e);
  std::vector<COLORREF> v;
  for (UINT i = 0; i < n; ++i) v.push_back(RGB(e[i].peRed, e[i].peGreen, e[i].peBlue));
  return v;
}

TEST(BarBackground, APalettedBitmapGivesItsPaletteAndDrawsInItsColours) {
  TBarBackground bg(nullptr);
  EXPECT_EQ(bg.GetPalette(), nullptr);  // no bitmap
  auto a = Paletted(5, {RGB(0, 0, 0), RGB(10, 200, 30), RGB(1, 2, 3)});
  bg.SetBitmap(a.get());
  HPALETTE p = bg.GetPalette();
  ASSERT_NE(p, nullptr);
  std::vector<COLORREF> e = Entries(p);
  ASSERT_GE(e.size(), 3u);
  EXPECT_EQ(e[1], RGB(10, 200, 30));
  EXPECT_EQ(e[2], RGB(1, 2, 3));
  EXPECT_EQ(bg.GetPalette(), p);  // kept while the bitmap stays
  MemCanvas s(12, 12);
  bg.Draw(s.DC, RECT{0, 0, 12, 12});
  EXPECT_EQ(s.At(7, 7), RGB(10, 200, 30));
  // The device context keeps its own palette after drawing.
  EXPECT_NE(GetCurrentObject(s.DC, OBJ_PAL), p);

  // A new picture brings its own palette; a true-colour one has none.
  auto b = Paletted(8, {RGB(0, 0, 0), RGB(250, 5, 5)});
  bg.SetBitmap(b.get());
  ASSERT_NE(bg.GetPalette(), nullptr);
  EXPECT_EQ(Entries(bg.GetPalette())[1], RGB(250, 5, 5));
  MemCanvas s2(16, 16);
  bg.Draw(s2.DC, RECT{0, 0, 16, 16});  // the pattern-brush path
  EXPECT_EQ(s2.At(11, 3), RGB(250, 5, 5));
  TBitmap plain(6, 6, pf32bit);
  bg.SetBitmap(&plain);
  EXPECT_EQ(bg.GetPalette(), nullptr);
}

TBarPopupWindow* ShownPopup() {
  TBarPopupWindow* found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        if (auto* pw = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w)))
          if (IsWindowVisible(w)) *reinterpret_cast<TBarPopupWindow**>(p) = pw;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool PopupShown() { return ShownPopup() != nullptr; }

POINT CentreOf(TBarPopupWindow* W, TBarCustomItem* Item) {
  RECT r = W->View->Find(Item)->BoundsRect;
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(W->GetHandle(), &p);
  return p;
}

// A point on the pop-up's frame, level with an item.
POINT FrameBeside(TBarPopupWindow* W, TBarCustomItem* Item) {
  POINT p = CentreOf(W, Item);
  RECT wr;
  GetWindowRect(W->GetHandle(), &wr);
  p.x = wr.left + 1;
  return p;
}

TEST(BarMenuMouse, AReleaseOnAMenusFrameKeepsTheMenuOpen) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(100, 100, 300, 200);
  f->Show();
  Pump(30);
  auto* menu = new TBarPopupMenu(f.get());
  auto* a = new TBarItem(f.get());
  a->SetCaption(L"Alpha");
  auto* sep = new TBarSeparatorItem(f.get());
  auto* b = new TBarItem(f.get());
  b->SetCaption(L"Beta");
  int bClicks = 0;
  b->OnClick = [&](TObject*) { ++bClicks; };
  menu->Items()->Add(a);
  menu->Items()->Add(sep);
  menu->Items()->Add(b);
  bool openAfterRelease = false;
  auto post = [](InputScript s) { s.Post(); };
  LoopScript s({[&] {
                  TBarPopupWindow* w = ShownPopup();
                  if (!w) return LoopScript::Current()->Again();
                  post(InputScript().Move(FrameBeside(w, a)));
                },
                [&] { post(InputScript().Down()); },
                [&] { post(InputScript().Up()); },
                [&] {},
                [&] {
                  openAfterRelease = PopupShown();
                  if (TBarPopupWindow* w = ShownPopup()) post(InputScript().Move(CentreOf(w, b)));
                },
                [&] {},
                [&] { post(InputScript().Down()); },
                [&] { post(InputScript().Up()); }});
  menu->Popup(150, 150);
  EXPECT_TRUE(openAfterRelease);
  EXPECT_TRUE(PumpUntil([&] { return bClicks == 1; }, 10000));
  EXPECT_FALSE(PopupShown());
}

}  // namespace

// Each state draws from its own list when it has one: disabled before
// checked before hot, else the list itself; the state lists draw their
// picture as it is (a disabled picture is not greyed again).
TEST(BarImageList, DrawStateTakesThePictureOfTheItemsState) {
  const COLORREF red = RGB(255, 0, 0), grey = RGB(128, 128, 128), green = RGB(0, 255, 0),
                 yellow = RGB(255, 255, 0);
  TBarImageList il(nullptr), disabled(nullptr), checked(nullptr), hot(nullptr);
  for (auto* l : {&il, &disabled, &checked, &hot}) l->SetSize(8, 8);
  il.Add(Strip({red}).get(), nullptr);
  disabled.Add(Strip({grey}).get(), nullptr);
  checked.Add(Strip({green}).get(), nullptr);
  hot.Add(Strip({yellow}).get(), nullptr);
  auto drawn = [&](bool Enabled, bool Selected, bool Checked) {
    MemCanvas s(8, 8);
    il.DrawState(&s.C, 0, 0, 0, Enabled, Selected, Checked);
    return s.At(4, 4);
  };
  // No state lists: every state is the list's own picture (greyed when disabled).
  EXPECT_EQ(drawn(true, true, true), red);
  EXPECT_NE(drawn(false, false, false), red);
  il.SetDisabledImages(&disabled);
  il.SetCheckedImages(&checked);
  il.SetHotImages(&hot);
  EXPECT_EQ(drawn(true, false, false), red);
  EXPECT_EQ(drawn(false, true, true), grey);
  EXPECT_EQ(drawn(true, true, true), green);
  EXPECT_EQ(drawn(true, true, false), yellow);
  // A disabled item without a disabled picture takes the checked one, greyed.
  il.SetDisabledImages(nullptr);
  EXPECT_NE(drawn(false, false, true), green);
  EXPECT_NE(drawn(false, false, true), red);
}
