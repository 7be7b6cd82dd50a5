// The error dialog with its way to the manual.
#include "app/frmErrorU.h"

#include <algorithm>

#include "app/Dialogs.h"
#include "app/FormBuild.h"
#include "app/dmodCommonU.h"

using namespace DialogBuild;

TfrmError* frmError = nullptr;
std::function<void(const String&)> TfrmError::ShowHook;

TfrmError::TfrmError(TComponent* AOwner) : TForm(AOwner) {
  SetName(L"frmError");
  SetCaption(L"Zembrio Error");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetDialogFont(this);
  SetClientWidth(449);
  SetClientHeight(314);
  Image1 = new TImage(this);
  Image1->SetName(L"Image1");
  Image1->SetParent(this);
  Image1->SetBounds(8, 8, 34, 34);
  lblHead = MakeLabel(this, L"lblHead", 48, 8, 385, 17, L"Zembrio encountered the following error:");
  lblHead->Font()->SetStyle(TFontStyles{fsBold});
  txtDescription = new TMemo(this);
  txtDescription->SetName(L"txtDescription");
  txtDescription->SetParent(this);
  txtDescription->SetBounds(48, 24, 393, 137);
  txtDescription->SetReadOnly(true);
  txtDescription->SetScrollBars(ssVertical);
  txtDescription->SetColor(clBtnFace);
  txtDescription->SetTabStop(false);
  lblInfo = MakeLabel(this, L"lblInfo", 48, 168, 385, 81,
                      L"NT-based versions of Windows (NT, Windows 2000, Windows XP), implement registry security.  "
                      L"If you are running one of these operating systems, please ensure you are an administator, "
                      L"or have the necessary user permissions.\r\n\r\nIf you require further assistance, please "
                      L"contact the author.  Contact information is available in the online Zembrio manual.");
  lblInfo->SetWordWrap(true);
  Label1 = MakeLabel(this, L"Label1", 48, 256, 385, 17, L"To avoid data loss, please restart the application.");
  Label1->Font()->SetStyle(TFontStyles{fsBold});
  btnOK = MakeButton(this, this, L"btnOK", 368, 280, L"OK", mrOk);
  btnOK->SetDefault(true);
  btnManual = MakeButton(this, this, L"btnManual", 288, 280, L"Manual", mrNone);
  btnManual->OnClick = TNotifyEvent(this, &TfrmError::btnManualClick);
  // Escape closes the dialog as OK does.
  btnOK->SetCancel(true);
  SetDefaultButton(btnOK);
  SetCancelButton(btnOK);
  OnShow = TNotifyEvent(this, &TfrmError::FormShow);
}

void TfrmError::FormShow(TObject*) {
  ShowSystemIcon(Image1, reinterpret_cast<LPCWSTR>(IDI_ERROR));
  PlayMessageBeep(MB_ICONHAND);
}

void TfrmError::ArrangeLabels() {
  // Each label is as tall as its text in the font in use, and what lies
  // below it moves down (the dialog grows) rather than covering its last
  // line. The window is made first: making it scales the layout to the
  // screen's dots per inch, which would scale the measured heights once
  // more; the measures here are scaled alike.
  HandleNeeded();
  auto scaled = [this](int v) { return Scaled(this, v); };
  for (TLabel* l : {lblHead, lblInfo, Label1}) {
    l->SetWidth(scaled(385));
    l->SetAutoSize(true);
    l->AdjustBounds();
  }
  txtDescription->SetTop(std::max(scaled(24), lblHead->GetTop() + lblHead->GetHeight()));
  lblInfo->SetTop(txtDescription->GetTop() + txtDescription->GetHeight() + scaled(7));
  Label1->SetTop(lblInfo->GetTop() + lblInfo->GetHeight() + scaled(7));
  const int buttons = Label1->GetTop() + Label1->GetHeight() + scaled(7);
  btnOK->SetTop(buttons);
  btnManual->SetTop(buttons);
  SetClientHeight(buttons + btnOK->GetHeight() + scaled(9));
}

void TfrmError::btnManualClick(TObject*) {
  if (dmodCommon) dmodCommon->ShowHelpContents();
}

void TfrmError::ShowError(const String& Text) {
  String shown;
  // The memo scrolls: every line is shown (the message and address lines
  // come last); only a line too long to lay out quickly is shortened.
  std::vector<String> lines = SplitDialogLines(DialogText(Text, -1, 0));
  for (size_t i = 0; i < lines.size(); ++i) shown += (i ? L"\r\n" : L"") + lines[i];
  txtDescription->SetText(shown);
  ArrangeLabels();
  if (ShowHook) {
    ShowHook(Text);
    return;
  }
  ShowModal();
}
