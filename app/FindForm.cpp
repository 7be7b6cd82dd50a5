#include "app/FindForm.h"
#include "app/FormBuild.h"

#include <cstdio>

#include "app/CommonLogic.h"
#include "app/Help.h"

TfrmFind::TfrmFind(TComponent* AOwner, TCommonLogic* Logic) : TForm(AOwner), logic_(Logic) {
  SetName(L"frmFind");
  SetCaption(L"Find");
  SetBorderStyle(bsDialog);
  SetPosition(poDefault);
  SetClientWidth(427);
  SetClientHeight(201);

  // Created in tab order.
  btnFind = Place<TButton>(this, this, L"btnFind", 344, 8, 75, 25);
  btnFind->SetCaption(L"&Find");
  btnFind->SetDefault(true);
  btnFind->SetModalResult(mrOk);
  btnFind->OnClick = TNotifyEvent(this, &TfrmFind::btnFindClick);
  Button1 = Place<TButton>(this, this, L"Button1", 344, 40, 75, 25);
  Button1->SetCaption(L"Cancel");
  Button1->SetCancel(true);
  Button1->SetModalResult(mrCancel);
  SetDefaultButton(btnFind);
  SetCancelButton(Button1);

  rgrpType = Place<TRadioGroup>(this, this, L"rgrpType", 8, 56, 161, 81);
  rgrpType->SetCaption(L"Search Type");
  // The group makes and lays out its buttons once, for all items.
  rgrpType->Items()->BeginUpdate();
  rgrpType->Items()->Add(L"Exact match");
  rgrpType->Items()->Add(L"Substring match");
  rgrpType->Items()->Add(L"Regular expression");
  rgrpType->Items()->EndUpdate();
  rgrpType->SetItemIndex(1);

  grpOptions = Place<TGroupBox>(this, this, L"grpOptions", 176, 56, 161, 105);
  grpOptions->SetCaption(L"Options");
  auto check = [this](const wchar_t* name, const wchar_t* caption, int top, bool on) {
    TCheckBox* c = Place<TCheckBox>(this, grpOptions, name, 10, top, 145, 17);
    c->SetCaption(caption);
    c->SetChecked(on);
    return c;
  };
  chkCaseSensitive = check(L"chkCaseSensitive", L"Case sensitive", 18, false);
  chkSearchKeyNames = check(L"chkSearchKeyNames", L"Search key names", 39, true);
  chkSearchValueNames = check(L"chkSearchValueNames", L"Search value names", 60, true);
  chkSearchStringData = check(L"chkSearchStringData", L"Search string data", 81, true);

  rgrpScope = Place<TRadioGroup>(this, this, L"rgrpScope", 8, 140, 161, 57);
  rgrpScope->SetCaption(L"Search Scope");
  rgrpScope->Items()->BeginUpdate();
  rgrpScope->Items()->Add(L"Entire registry");
  rgrpScope->Items()->Add(L"Selected subtree");
  rgrpScope->Items()->EndUpdate();
  rgrpScope->SetItemIndex(0);

  btnRegExHelp = Place<TButton>(this, this, L"btnRegExHelp", 312, 24, 21, 21);
  btnRegExHelp->SetCaption(L"?");
  btnRegExHelp->SetHint(L"Help on Regular Expressions");
  btnRegExHelp->OnClick = TNotifyEvent(this, &TfrmFind::btnRegExHelpClick);

  cboText = Place<TComboBox>(this, this, L"cboText", 8, 24, 297, 21);
  cboText->SetStyle(csDropDown);
  cboText->SetDropDownCount(HistoryCount);
  lblText = Place<TLabel>(this, this, L"lblText", 8, 8, 200, 13);
  lblText->SetCaption(L"Search text or expression:");
  lblText->SetFocusControl(cboText);

  OnShow = TNotifyEvent(this, &TfrmFind::FormShow);
  OnClose = TCloseEvent(this, &TfrmFind::FormClose);
}

String TfrmFind::HistoryName(int Index) { return FindMRUName(Index); }

void TfrmFind::PushHistory(TStrings* List, const String& Text) {
  if (Text.empty()) return;
  List->Insert(0, Text);
  for (int i = 1; i < List->GetCount(); ++i) {
    if (List->Get(i) == Text) {
      List->Delete(i);
      break;
    }
  }
}

uint8_t TfrmFind::SearchTypeOfItem(int ItemIndex) {
  switch (ItemIndex) {
    case 0: return stExact;
    case 2: return stRegex;
    default: return stSubstring;
  }
}

void TfrmFind::LoadSettings() {
  TCommonLogic& dm = *logic_;
  SetShowHint(dm.GetOption(SettingName::ShowHints).AsBoolean());
  const int top = dm.GetOption(SettingName::FindTop).AsInteger(), left = dm.GetOption(SettingName::FindLeft).AsInteger();
  SetTop(top);
  SetLeft(left);
  KeepOnScreen(this);
  keptTop_.Take(top, GetTop());
  keptLeft_.Take(left, GetLeft());
  // A stored index outside the items (a hand-edited setting) falls back to
  // the default, so the dialog always states a search type and a scope.
  int type = dm.GetOption(SettingName::FindType).AsInteger();
  if (type < 0 || type >= rgrpType->Items()->GetCount()) type = 1;
  rgrpType->SetItemIndex(type);
  int scope = dm.GetOption(SettingName::FindScope).AsInteger();
  if (scope < 0 || scope >= rgrpScope->Items()->GetCount()) scope = 0;
  rgrpScope->SetItemIndex(scope);
  chkSearchKeyNames->SetChecked(dm.GetOption(SettingName::FindKeyName).AsBoolean());
  chkSearchValueNames->SetChecked(dm.GetOption(SettingName::FindValueName).AsBoolean());
  chkSearchStringData->SetChecked(dm.GetOption(SettingName::FindStringData).AsBoolean());
  chkCaseSensitive->SetChecked(dm.GetOption(SettingName::FindCaseSensitive).AsBoolean());
  TStrings* items = cboText->Items();
  items->Clear();
  for (int i = 0; i < HistoryCount; ++i) {
    const String s = dm.GetOption(HistoryName(i)).AsString();
    if (!s.empty()) items->Add(s);
  }
}

void TfrmFind::SaveSettings(const String& Text) {
  TCommonLogic& dm = *logic_;
  dm.SetOption(SettingName::FindType, rgrpType->GetItemIndex());
  dm.SetOption(SettingName::FindScope, rgrpScope->GetItemIndex());
  dm.SetOption(SettingName::FindKeyName, chkSearchKeyNames->GetChecked());
  dm.SetOption(SettingName::FindValueName, chkSearchValueNames->GetChecked());
  dm.SetOption(SettingName::FindStringData, chkSearchStringData->GetChecked());
  dm.SetOption(SettingName::FindCaseSensitive, chkCaseSensitive->GetChecked());
  TStrings* items = cboText->Items();
  PushHistory(items, Text);
  // The list keeps its own text; the edit field must show the search text
  // again after the insertion.
  cboText->SetText(Text);
  for (int i = 0; i < items->GetCount() && i < HistoryCount; ++i) dm.SetOption(HistoryName(i), items->Get(i));
  dm.WriteAllOptions();
}

void TfrmFind::FormShow(TObject*) {
  if (logic_) LoadSettings();
  FocusControl(cboText);
}

void TfrmFind::FormClose(TObject*, TCloseAction&) {
  if (!logic_) return;
  logic_->SetOption(SettingName::FindTop, keptTop_.ToStore(GetTop()));
  logic_->SetOption(SettingName::FindLeft, keptLeft_.ToStore(GetLeft()));
}

void TfrmFind::btnFindClick(TObject*) {
  const String text = cboText->GetText();
  if (logic_) SaveSettings(text);
  TSearchInput input;
  input.Text = text;
  input.SearchType = SearchTypeOfItem(rgrpType->GetItemIndex());
  input.Subtree = rgrpScope->GetItemIndex() != 0;
  input.KeyNames = chkSearchKeyNames->GetChecked();
  input.ValueNames = chkSearchValueNames->GetChecked();
  input.StringData = chkSearchStringData->GetChecked();
  input.CaseSensitive = chkCaseSensitive->GetChecked();
  if (OnStartSearch) OnStartSearch(false, input);
  else if (logic_) logic_->StartSearch(false, input);
}

void TfrmFind::btnRegExHelpClick(TObject*) { ShowHelpTopic(L"reg_syntax.htm"); }
