#include "app/AboutForm.h"
#include "app/FormBuild.h"

#include "app/CommonLogic.h"
#include "app/Help.h"

String AboutTitleText(const String& FileVersion) {
  const size_t dot = FileVersion.rfind(L'.');
  String version, build;
  if (dot == String::npos) {
    build = FileVersion;
  } else {
    version = FileVersion.substr(0, dot);
    build = FileVersion.substr(dot + 1);
  }
  return L"Zembrio v" + version + L" Build " + build;
}

TfrmAbout::TfrmAbout(TComponent* AOwner) : TForm(AOwner) {
  SetName(L"frmAbout");
  SetCaption(L"About Zembrio");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  Font()->SetName(L"Tahoma");
  Font()->SetSize(8);
  SetClientWidth(378);
  SetClientHeight(200);

  Image1 = Place<TPaintBox>(this, L"Image1", 0, 0, 50, 200);
  Image1->OnPaint = TNotifyEvent(this, &TfrmAbout::Image1Paint);

  imgIcon = Place<TImage>(this, L"imgIcon", 8, 8, 32, 32);
  imgIcon->SetTransparent(true);

  lblTitle = Place<TLabel>(this, L"lblTitle", 64, 12, 300, 24);
  lblTitle->Font()->SetName(L"Tahoma");
  lblTitle->Font()->SetHeight(-19);
  lblTitle->SetCaption(L"Zembrio");

  lblAuthor = Place<TLabel>(this, L"lblAuthor", 64, 44, 300, 14);
  lblAuthor->Font()->SetStyle(TFontStyles{fsBold});
  lblAuthor->SetCaption(L"Written by the Zembrio developers at Quorvel");

  lblContact = Place<TLabel>(this, L"lblContact", 64, 68, 300, 44);
  lblContact->SetAutoSize(false);
  lblContact->SetWordWrap(true);
  lblContact->SetCaption(
      L"Contact the author for help, requests, and bug reports.  Contact information is available in the "
      L"Zembrio manual.");

  Label1 = Place<TLabel>(this, L"Label1", 64, 124, 300, 14);
  Label1->Font()->SetStyle(TFontStyles{fsBold});
  Label1->SetCaption(L"Use at your own risk!");

  btnManual = Place<TButton>(this, L"btnManual", 208, 164, 75, 25);
  btnManual->SetCaption(L"Manual");
  btnManual->OnClick = TNotifyEvent(this, &TfrmAbout::btnManualClick);

  btnClose = Place<TButton>(this, L"btnClose", 292, 164, 75, 25);
  btnClose->SetCaption(L"Close");
  btnClose->SetModalResult(mrOk);
  btnClose->SetDefault(true);
  btnClose->SetCancel(true);
  SetDefaultButton(btnClose);
  SetCancelButton(btnClose);

  OnShow = TNotifyEvent(this, &TfrmAbout::FormShow);
}

void TfrmAbout::FormShow(TObject*) {
  // The program icon is loaded at the first showing (dear under Wine, and
  // most runs never show the dialog).
  if (imgIcon->Picture()->Icon()->Empty()) {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    if (!icon) icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512) /* IDI_APPLICATION */);
    // Shared icons are copied so that the picture may free its own.
    imgIcon->Picture()->Icon()->SetHandle(CopyIcon(icon));
  }
  lblTitle->SetCaption(AboutTitleText(TCommonLogic::GetVersionString(L"FileVersion")));
}

void TfrmAbout::btnManualClick(TObject*) { ShowHelpContents(); }

void TfrmAbout::Image1Paint(TObject*) {
  // A band that fades from navy at the top to the button face at the foot.
  TCanvas* c = Image1->Canvas();
  const int h = Image1->GetHeight();
  const int w = Image1->GetWidth();
  const COLORREF top = RGB(0, 0, 128);
  const COLORREF bottom = GetSysColor(COLOR_BTNFACE);
  for (int y = 0; y < h; y += 4) {
    const int f = h > 1 ? y * 255 / (h - 1) : 0;
    auto mix = [f](int a, int b) { return a + (b - a) * f / 255; };
    const COLORREF col = RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
                             mix(GetBValue(top), GetBValue(bottom)));
    c->Brush()->SetColor(TColor(col));
    c->FillRect(TRect{0, y, w, std::min(h, y + 4)});
  }
}
