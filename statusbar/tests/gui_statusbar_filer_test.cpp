// The status bar in a form stream: every published property of the bar and
// of its panels away from its default reads back, defaults stay out, and
// the panels can be copied as a whole.
#include "classlib/Filer.h"
#include "statusbar/tests/sb_support.h"

using namespace testsupport;
using namespace sbtest;

namespace {

// The published properties and events of a panel and of the bar.
const char* const kPanelNames[] = {
    "PanelType", "AutoFit", "Enabled", "TimeFormat", "DateFormat", "Text", "Glyph", "Hint", "BorderWidth",
    "GaugeAttrs.Style", "GaugeAttrs.Position", "GaugeAttrs.Speed", "GaugeAttrs.Color", "GaugeAttrs.TextColor",
    "Alignment", "Bevel", "Width", "BiDiMode", "ParentBiDiMode", "OnDrawPanel", "OnHintText", "OnClick"};
const char* const kBarNames[] = {"UseMonitorDLL", "Panels", "OnDrawPanel"};

// Whether the stream holds a property of that name (names are stored with
// their length first); InPanels: among the panels (the bar stores them
// after its own properties).
bool Stored(TMemoryStream& S, const std::string& Name, bool InPanels = false) {
  std::string bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  size_t from = InPanels ? bytes.find("\x06Panels") : 0;
  return from != std::string::npos && bytes.find(char(Name.size()) + Name, from) != std::string::npos;
}

// The handlers a form offers its bar's events under a name.
struct Handlers {
  void BarDraw(TOdStatusBar*, TOdStatusPanel*, const TRect&) {}
  void PanelDraw(TOdStatusBar*, TOdStatusPanel*, const TRect&) {}
  void PanelHint(TOdStatusBar*, TOdStatusPanel*, String&) {}
  void PanelClick(TObject*) {}
  void Offer(TForm* F) {
    F->RegisterMethod(L"BarDraw", TOdDrawPanelEvent(this, &Handlers::BarDraw));
    F->RegisterMethod(L"PanelDraw", TOdDrawPanelEvent(this, &Handlers::PanelDraw));
    F->RegisterMethod(L"PanelHint", TOdPanelHintTextEvent(this, &Handlers::PanelHint));
    F->RegisterMethod(L"PanelClick", TNotifyEvent(this, &Handlers::PanelClick));
  }
};

std::unique_ptr<TForm> NewForm(const wchar_t* Name) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetName(Name);
  return f;
}

TOdStatusBar* NewBar(TForm* F) {
  auto* bar = new TOdStatusBar(F);
  bar->SetName(L"Bar");
  bar->SetParent(F);
  return bar;
}

void Write(TForm* F, TMemoryStream& S, TForm* Ancestor = nullptr) {
  S.Clear();
  TWriter(&S).WriteDescendent(F, Ancestor);
  S.SetPosition(0);
}

void Read(TForm* F, TMemoryStream& S) {
  S.SetPosition(0);
  TReader(&S).ReadRootComponent(F);
}

std::vector<uint8_t> Pixels(TBitmap* B) {
  std::vector<uint8_t> out;
  for (int y = 0; y < B->GetHeight(); ++y)
    for (int x = 0; x < B->GetWidth(); ++x) {
      COLORREF c = GetPixel(B->Canvas()->GetHandle(), x, y);
      out.insert(out.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
  return out;
}

}  // namespace

TEST(OdStatusBarFiler, EveryPublishedPropertyReadsBack) {
  KbMonName fake(L"KbMonFake.dll");
  Handlers h;
  TMemoryStream S;
  {
    auto form = NewForm(L"SbSource");
    h.Offer(form.get());
    TOdStatusBar* bar = NewBar(form.get());
    bar->SetOnDrawPanel(TOdDrawPanelEvent(&h, &Handlers::BarDraw));
    TOdStatusPanel* p = bar->Panels()->Add();
    p->SetPanelType(sptEllipsisPath);
    p->SetWidth(123);
    p->SetEnabled(false);
    p->SetTimeFormat(L"hh:nn");
    p->SetDateFormat(L"yyyy");
    p->SetText(L"C:\\one\\two");
    p->Glyph()->Bitmap()->SetSize(6, 5);
    p->Glyph()->Bitmap()->Canvas()->Brush()->SetColor(clRed);
    p->Glyph()->Bitmap()->Canvas()->FillRect(TRect{0, 0, 6, 5});
    p->SetHint(L"a hint");
    p->SetBorderWidth(2);
    p->GaugeAttrs()->SetStyle(gsIndeterminate2);
    p->GaugeAttrs()->SetPosition(40);
    p->GaugeAttrs()->SetSpeed(7);
    p->GaugeAttrs()->SetColor(clRed);
    p->GaugeAttrs()->SetTextColor(clBlue);
    p->SetAlignment(taRightJustify);
    p->SetBevel(pbRaised);
    p->SetBiDiMode(bdRightToLeft);
    p->OnDrawPanel = TOdDrawPanelEvent(&h, &Handlers::PanelDraw);
    p->OnHintText = TOdPanelHintTextEvent(&h, &Handlers::PanelHint);
    p->OnClick = TNotifyEvent(&h, &Handlers::PanelClick);
    // A lock panel whose fitting was turned off: the type alone would fit.
    TOdStatusPanel* caps = bar->Panels()->Add();
    caps->SetPanelType(sptCapsLock);
    caps->SetAutoFit(false);
    // The monitor library serves a bar with an enabled lock panel.
    bar->SetUseMonitorDLL(true);
    ASSERT_TRUE(bar->GetUseMonitorDLL());
    Write(form.get(), S);
    for (const char* n : kBarNames) EXPECT_TRUE(Stored(S, n)) << n;
    for (const char* n : kPanelNames) EXPECT_TRUE(Stored(S, n, true)) << n;
    EXPECT_FALSE(Stored(S, "Version"));
  }
  // Read into an empty form: the bar is made by its class.
  auto form = NewForm(L"SbCopy");
  h.Offer(form.get());
  Read(form.get(), S);
  auto* bar = dynamic_cast<TOdStatusBar*>(form->FindComponent(L"Bar"));
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->GetUseMonitorDLL());
  EXPECT_EQ(bar->GetOnDrawPanel(), TOdDrawPanelEvent(&h, &Handlers::BarDraw));
  ASSERT_EQ(bar->Panels()->GetCount(), 2);
  TOdStatusPanel* p = bar->Panels()->GetItem(0);
  EXPECT_EQ(p->GetPanelType(), sptEllipsisPath);
  EXPECT_FALSE(p->GetAutoFit());
  EXPECT_FALSE(p->GetEnabled());
  EXPECT_EQ(p->GetTimeFormat(), L"hh:nn");
  EXPECT_EQ(p->GetDateFormat(), L"yyyy");
  EXPECT_EQ(p->GetText(), L"C:\\one\\two");
  ASSERT_NE(dynamic_cast<TBitmap*>(p->Glyph()->GetGraphic()), nullptr);
  EXPECT_EQ(p->Glyph()->GetWidth(), 6);
  EXPECT_EQ(p->Glyph()->Bitmap()->Canvas()->GetPixel(5, 4), clRed);
  EXPECT_EQ(p->GetHint(), L"a hint");
  EXPECT_EQ(p->GetBorderWidth(), 2);
  EXPECT_EQ(p->GaugeAttrs()->GetStyle(), gsIndeterminate2);
  EXPECT_EQ(p->GaugeAttrs()->GetPosition(), 40);
  EXPECT_EQ(p->GaugeAttrs()->GetSpeed(), 7);
  EXPECT_EQ(p->GaugeAttrs()->GetColor(), clRed);
  EXPECT_EQ(p->GaugeAttrs()->GetTextColor(), clBlue);
  EXPECT_EQ(p->GetAlignment(), taRightJustify);
  EXPECT_EQ(p->GetBevel(), pbRaised);
  EXPECT_EQ(p->GetWidth(), 123);
  EXPECT_EQ(p->GetBiDiMode(), bdRightToLeft);
  EXPECT_FALSE(p->GetParentBiDiMode());
  EXPECT_EQ(p->OnDrawPanel, TOdDrawPanelEvent(&h, &Handlers::PanelDraw));
  EXPECT_EQ(p->OnHintText, TOdPanelHintTextEvent(&h, &Handlers::PanelHint));
  EXPECT_EQ(p->OnClick, TNotifyEvent(&h, &Handlers::PanelClick));
  TOdStatusPanel* caps = bar->Panels()->GetItem(1);
  EXPECT_EQ(caps->GetPanelType(), sptCapsLock);
  EXPECT_FALSE(caps->GetAutoFit());
  EXPECT_EQ(caps->GetText(), L" CAPS ");
  EXPECT_EQ(bar->MonitorRegistrations(), 1) << "the lock panel reads back tracked by the library";
  form.reset();
  EXPECT_FALSE(KbMonDLL_Loaded);
}

// A disabled bar tracks no lock panel and so holds no library; its
// UseMonitorDLL reads back all the same, is written again, and brings the
// library in once the bar is enabled.
TEST(OdStatusBarFiler, DisabledBarKeepsUseMonitorDLL) {
  KbMonName fake(L"KbMonFake.dll");
  TMemoryStream S;
  auto form = NewForm(L"SbDisabledMonitor");
  TOdStatusBar* bar = NewBar(form.get());
  bar->Panels()->Add()->SetPanelType(sptScrollLock);
  bar->SetUseMonitorDLL(true);
  bar->SetEnabled(false);
  Write(form.get(), S);
  auto copy = NewForm(L"SbDisabledMonitorCopy");
  Read(copy.get(), S);
  auto* read = dynamic_cast<TOdStatusBar*>(copy->FindComponent(L"Bar"));
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(read->GetUseMonitorDLL());
  EXPECT_EQ(read->MonitorRegistrations(), 0);
  Write(copy.get(), S);
  EXPECT_TRUE(Stored(S, "UseMonitorDLL"));
  read->SetEnabled(true);
  EXPECT_EQ(read->MonitorRegistrations(), 1);
  EXPECT_TRUE(KbMonDLL_Loaded);
}

TEST(OdStatusBarFiler, DefaultsAndWhatTheTypeSetsStayOut) {
  TMemoryStream S;
  auto form = NewForm(L"SbDefaults");
  TOdStatusBar* bar = NewBar(form.get());
  Write(form.get(), S);
  for (const char* n : kBarNames) EXPECT_FALSE(Stored(S, n)) << n;
  // A new panel stores only AutoFit, which is stored always; a disabled
  // bar does not make its enabled panels store Enabled, nor a bar read
  // right to left the reading order its panels take from it.
  bar->Panels()->Add();
  bar->SetEnabled(false);
  bar->SetBiDiMode(bdRightToLeft);
  ASSERT_EQ(bar->Panels()->GetItem(0)->GetBiDiMode(), bdRightToLeft);
  Write(form.get(), S);
  for (const char* n : kPanelNames) EXPECT_EQ(Stored(S, n, true), std::string(n) == "AutoFit") << n;
  // What a type sets on its own is its panel's default; changed back, it
  // is stored and read back as changed.
  bar->Panels()->Clear();
  TOdStatusPanel* gauge = bar->Panels()->Add();
  gauge->SetPanelType(sptGauge);
  TOdStatusPanel* path = bar->Panels()->Add();
  path->SetPanelType(sptEllipsisPath);
  TOdStatusPanel* num = bar->Panels()->Add();
  num->SetPanelType(sptNumLock);
  TOdStatusPanel* clock = bar->Panels()->Add();
  clock->SetPanelType(sptTime);
  Write(form.get(), S);
  for (const char* n : {"Alignment", "Hint", "Text"}) EXPECT_FALSE(Stored(S, n, true)) << n;
  gauge->SetAlignment(taLeftJustify);
  path->SetHint(L"");
  num->SetText(L"");
  Write(form.get(), S);
  auto copy = NewForm(L"SbDefaultsCopy");
  TOdStatusBar* read = NewBar(copy.get());
  Read(copy.get(), S);
  ASSERT_EQ(read->Panels()->GetCount(), 4);
  EXPECT_EQ(read->Panels()->GetItem(0)->GetAlignment(), taLeftJustify);
  EXPECT_EQ(read->Panels()->GetItem(1)->GetHint(), L"");
  EXPECT_EQ(read->Panels()->GetItem(2)->GetText(), L"");
  EXPECT_TRUE(read->Panels()->GetItem(3)->GetText().size() > 0) << "a clock shows the time it is read at";
  EXPECT_FALSE(read->GetEnabled());
  read->SetEnabled(true);
  EXPECT_TRUE(read->Panels()->GetItem(0)->GetEnabled()) << "the panel's own flag was kept";
  read->Panels()->Clear();
}

TEST(OdStatusBarFiler, AgainstAnAncestorOnlyChangedPanelsAreStored) {
  TMemoryStream S;
  auto base = NewForm(L"SbAncestor");
  auto mine = NewForm(L"SbDescendant");
  for (TForm* f : {base.get(), mine.get()}) {
    TOdStatusBar* bar = NewBar(f);
    bar->Panels()->Add()->SetText(L"same");
    bar->Panels()->Add()->SetWidth(80);
    bar->SetEnabled(false);  // compared by their own Enabled
  }
  Write(mine.get(), S, base.get());
  EXPECT_FALSE(Stored(S, "Panels"));
  auto* bar = dynamic_cast<TOdStatusBar*>(mine->FindComponent(L"Bar"));
  bar->Panels()->GetItem(1)->SetBevel(pbNone);
  Write(mine.get(), S, base.get());
  EXPECT_TRUE(Stored(S, "Panels"));
  // Read over the ancestor's panels, the stream's replace them.
  Read(base.get(), S);
  auto* read = dynamic_cast<TOdStatusBar*>(base->FindComponent(L"Bar"));
  ASSERT_EQ(read->Panels()->GetCount(), 2);
  EXPECT_EQ(read->Panels()->GetItem(0)->GetText(), L"same");
  EXPECT_EQ(read->Panels()->GetItem(1)->GetBevel(), pbNone);
  EXPECT_EQ(read->Panels()->GetItem(1)->GetWidth(), 80);
}

TEST(OdStatusBarFiler, IconGlyphReadsBack) {
  TMemoryStream S;
  std::vector<uint8_t> drawn;
  {
    auto form = NewForm(L"SbIcon");
    TOdStatusBar* bar = NewBar(form.get());
    TOdStatusPanel* p = bar->Panels()->Add();
    p->Glyph()->Icon()->SetHandle(CopyIcon(LoadIconW(nullptr, IDI_INFORMATION)));
    ASSERT_FALSE(p->Glyph()->GetGraphic()->Empty());
    TBitmap b(32, 32);
    p->Glyph()->GetGraphic()->Draw(b.Canvas(), TRect{0, 0, 32, 32});
    drawn = Pixels(&b);
    Write(form.get(), S);
  }
  auto form = NewForm(L"SbIcon");
  TOdStatusBar* bar = NewBar(form.get());
  Read(form.get(), S);
  TOdStatusPanel* p = bar->Panels()->GetItem(0);
  ASSERT_NE(dynamic_cast<TIcon*>(p->Glyph()->GetGraphic()), nullptr);
  EXPECT_EQ(p->Glyph()->GetWidth(), 32);
  TBitmap b(32, 32);
  p->Glyph()->GetGraphic()->Draw(b.Canvas(), TRect{0, 0, 32, 32});
  EXPECT_EQ(Pixels(&b), drawn);
}

TEST(OdStatusBarFiler, PanelsAndGlyphsAreCopiedWhole) {
  BarHost a, b;
  TOdStatusPanel* src = a.Add(sptGlyph, 90);
  src->Glyph()->Bitmap()->SetSize(7, 3);
  src->SetHint(L"tip");
  a.Add(sptNormal, 60)->SetText(L"second");
  b.Add(sptCapsLock);
  b.Add(sptTime);
  b.Add(sptNormal);
  b.bar->SetPanels(a.bar->Panels());
  ASSERT_EQ(b.bar->Panels()->GetCount(), 2);
  EXPECT_EQ(b.bar->TStatusBar::Panels()->GetCount(), 2) << "each panel keeps its linked panel";
  EXPECT_EQ(b.bar->Panels()->GetItem(0)->GetPanelType(), sptGlyph);
  EXPECT_EQ(b.bar->Panels()->GetItem(0)->Glyph()->GetWidth(), 7);
  EXPECT_EQ(b.bar->Panels()->GetItem(0)->GetHint(), L"tip");
  EXPECT_EQ(b.bar->Panels()->GetItem(1)->GetText(), L"second");
  EXPECT_EQ(b.bar->Panels()->GetItem(1)->GetWidth(), 60);
  EXPECT_EQ(b.bar->Panels()->TimerClientCount(), 0) << "the old clock left the timer";
  EXPECT_EQ(OdStatusHookClients(), 0) << "the old lock panel left the hook";
  // The glyph is a copy: changing the source's leaves it.
  src->Glyph()->Bitmap()->SetSize(9, 3);
  EXPECT_EQ(b.bar->Panels()->GetItem(0)->Glyph()->GetWidth(), 7);
  b.bar->Panels()->GetItem(1)->SetGlyph(src->Glyph());
  EXPECT_EQ(b.bar->Panels()->GetItem(1)->Glyph()->GetWidth(), 9);
  b.bar->Panels()->GetItem(1)->SetGlyph(nullptr);
  EXPECT_EQ(b.bar->Panels()->GetItem(1)->Glyph()->GetGraphic(), nullptr);
}
