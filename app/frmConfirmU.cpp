// The confirmation dialog: Yes, Yes to All, No, Cancel.
#include "app/frmConfirmU.h"

#include "app/Dialogs.h"
#include "app/FormBuild.h"

using namespace DialogBuild;

TfrmConfirm* frmConfirm = nullptr;
std::function<int(TfrmConfirm*)> TfrmConfirm::ExecuteHook;

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

void TfrmConfirm::FormShow(TObject*) {
  ShowSystemIcon(imgQuestion, reinterpret_cast<LPCWSTR>(IDI_QUESTION));
  PlayMessageBeep(MB_ICONQUESTION);
}

int TfrmConfirm::Execute(const String& Prompt, const String& Item, const String& Question, bool Single) {
  // The window is made first: making it scales the layout to the screen's
  // dots per inch, which would scale what is measured here once more; the
  // measures here are scaled alike.
  HandleNeeded();
  auto scaled = [this](int v) { return Scaled(this, v); };
  btnYesToAll->SetVisible(!Single);
  btnCancel->SetVisible(!Single);
  int panelWidth = scaled(Single ? 153 : 313);
  btnNo->SetLeft(scaled(Single ? 80 : 160));
  panelButtons->SetWidth(panelWidth);
  panelButtons->SetLeft((GetClientWidth() - panelWidth) / 2);
  // A very long name is shortened (the dialog keeps its width).
  lblPrompt1->SetCaption(DialogText(Prompt, -1));
  lblPrompt2->SetCaption(DialogText(Item, -1));
  lblPrompt3->SetCaption(DialogText(Question, -1));
  const int widths[3] = {361, 345, 361};
  TLabel* labels[3] = {lblPrompt1, lblPrompt2, lblPrompt3};
  for (int i = 0; i < 3; ++i) {
    labels[i]->SetWidth(scaled(widths[i]));
    labels[i]->SetAutoSize(true);
    labels[i]->AdjustBounds();
  }
  lblPrompt2->SetTop(lblPrompt1->GetTop() + lblPrompt1->GetHeight() + scaled(11));
  lblPrompt3->SetTop(lblPrompt2->GetTop() + lblPrompt2->GetHeight() + scaled(11));
  panelButtons->SetTop(lblPrompt3->GetTop() + lblPrompt3->GetHeight() + scaled(11));
  SetClientHeight(panelButtons->GetTop() + scaled(33));
  // Each question starts on Yes, the button drawn as the default, whatever
  // the last one was answered with: Enter presses the button it shows.
  SetActiveControl(btnYes);
  if (ExecuteHook) return ExecuteHook(this);
  return ShowModal();
}
