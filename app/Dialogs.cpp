// The confirmation and error dialogs.
#include "app/Dialogs.h"

#include "app/DataModule.h"
#include "classlib/Dialogs.h"

TfrmConfirm* frmConfirm = nullptr;
TfrmError* frmError = nullptr;
std::function<int(TfrmConfirm*)> TfrmConfirm::ExecuteHook;
std::function<void(const String&)> TfrmError::ShowHook;

namespace {

void SetDialogFont(TForm* f) {
  f->Font()->SetName(L"MS Sans Serif");
  f->Font()->SetSize(8);
}

void SetSystemIcon(TImage* img, LPCWSTR id) {
  // Shared system icons are not destroyed: hand the image a copy.
  HICON h = LoadIconW(nullptr, id);
  if (h) img->Picture()->Icon()->SetHandle(CopyIcon(h));
}

TLabel* MakeLabel(TForm* f, const String& name, int l, int t, int w, int h, const String& text) {
  auto* lbl = new TLabel(f);
  lbl->SetName(name);
  lbl->SetParent(f);
  lbl->SetAutoSize(false);
  lbl->SetBounds(l, t, w, h);
  lbl->SetCaption(text);
  return lbl;
}

TButton* MakeButton(TComponent* owner, TWinControl* parent, const String& name, int l, int t,
                    const String& caption, TModalResult r) {
  auto* b = new TButton(owner);
  b->SetName(name);
  b->SetParent(parent);
  b->SetBounds(l, t, 73, 25);
  b->SetCaption(caption);
  b->SetModalResult(r);
  return b;
}

}  // namespace

std::vector<String> SplitDialogLines(const String& Text) {
  std::vector<String> lines;
  String cur;
  for (size_t i = 0; i < Text.size(); ++i) {
    wchar_t c = Text[i];
    if (c == L'\r' || c == L'\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == L'\r' && i + 1 < Text.size() && Text[i + 1] == L'\n') ++i;
    } else {
      cur += c;
    }
  }
  lines.push_back(cur);
  return lines;
}

// ---------------------------------------------------------------------------
TfrmConfirm::TfrmConfirm(TComponent* AOwner) : TForm(AOwner) {
  SetName(L"frmConfirm");
  SetCaption(L"Please Confirm");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetDialogFont(this);
  SetClientWidth(426);
  SetClientHeight(209);
  imgQuestion = new TImage(this);
  imgQuestion->SetName(L"imgQuestion");
  imgQuestion->SetParent(this);
  imgQuestion->SetBounds(8, 8, 32, 32);
  SetSystemIcon(imgQuestion, reinterpret_cast<LPCWSTR>(IDI_QUESTION));
  lblPrompt1 = MakeLabel(this, L"lblPrompt1", 48, 8, 361, 41, L"Please confirm the following action.");
  lblPrompt2 = MakeLabel(this, L"lblPrompt2", 64, 64, 345, 41, L"The item in question...");
  lblPrompt2->Font()->SetStyle(TFontStyles{fsBold});
  lblPrompt3 = MakeLabel(this, L"lblPrompt3", 48, 120, 361, 41, L"Do you wish to continue?");
  for (TLabel* l : {lblPrompt1, lblPrompt2, lblPrompt3}) l->SetWordWrap(true);
  panelButtons = new TPanel(this);
  panelButtons->SetName(L"panelButtons");
  panelButtons->SetParent(this);
  panelButtons->SetBevelOuter(bvNone);
  panelButtons->SetCaption(L"");
  panelButtons->SetBounds(73, 176, 313, 25);
  btnYes = MakeButton(this, panelButtons, L"btnYes", 0, 0, L"&Yes", mrYes);
  btnYes->SetDefault(true);
  btnYesToAll = MakeButton(this, panelButtons, L"btnYesToAll", 80, 0, L"Yes to &All", mrYesToAll);
  btnNo = MakeButton(this, panelButtons, L"btnNo", 160, 0, L"&No", mrNo);
  btnNo->SetCancel(true);
  btnCancel = MakeButton(this, panelButtons, L"btnCancel", 240, 0, L"&Cancel", mrCancel);
  SetDefaultButton(btnYes);
  SetCancelButton(btnNo);
  OnShow = TNotifyEvent(this, &TfrmConfirm::FormShow);
}

void TfrmConfirm::FormShow(TObject*) { PlayMessageBeep(MB_ICONQUESTION); }

int TfrmConfirm::Execute(const String& Prompt, const String& Item, const String& Question, bool Single) {
  btnYesToAll->SetVisible(!Single);
  btnCancel->SetVisible(!Single);
  int panelWidth = Single ? 153 : 313;
  btnNo->SetLeft(Single ? 80 : 160);
  panelButtons->SetWidth(panelWidth);
  panelButtons->SetLeft((GetClientWidth() - panelWidth) / 2);
  lblPrompt1->SetCaption(Prompt);
  lblPrompt2->SetCaption(Item);
  lblPrompt3->SetCaption(Question);
  const int widths[3] = {361, 345, 361};
  TLabel* labels[3] = {lblPrompt1, lblPrompt2, lblPrompt3};
  for (int i = 0; i < 3; ++i) {
    labels[i]->SetWidth(widths[i]);
    labels[i]->SetAutoSize(true);
    labels[i]->AdjustBounds();
  }
  lblPrompt2->SetTop(lblPrompt1->GetTop() + lblPrompt1->GetHeight() + 11);
  lblPrompt3->SetTop(lblPrompt2->GetTop() + lblPrompt2->GetHeight() + 11);
  panelButtons->SetTop(lblPrompt3->GetTop() + lblPrompt3->GetHeight() + 11);
  SetClientHeight(panelButtons->GetTop() + 33);
  if (ExecuteHook) return ExecuteHook(this);
  return ShowModal();
}

// ---------------------------------------------------------------------------
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
  SetSystemIcon(Image1, reinterpret_cast<LPCWSTR>(IDI_ERROR));
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
  SetDefaultButton(btnOK);
  OnShow = TNotifyEvent(this, &TfrmError::FormShow);
}

void TfrmError::FormShow(TObject*) { PlayMessageBeep(MB_ICONHAND); }

void TfrmError::btnManualClick(TObject*) {
  if (dmodCommon) dmodCommon->ShowHelpContents();
}

void TfrmError::ShowError(const String& Text) {
  String shown;
  std::vector<String> lines = SplitDialogLines(Text);
  for (size_t i = 0; i < lines.size(); ++i) shown += (i ? L"\r\n" : L"") + lines[i];
  txtDescription->SetText(shown);
  if (ShowHook) {
    ShowHook(Text);
    return;
  }
  ShowModal();
}
