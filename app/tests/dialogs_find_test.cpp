// The find dialog: settings into the controls, the 15-entry history, the
// find options handed to the search, and the help button.
#include "app/FindForm.h"
#include "app/Help.h"
#include "app/tests/dialogs_support.h"

using namespace dlgtest;

namespace {

class FindTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    form = new TfrmFind(Application, dm.get());
    form->OnStartSearch = [this](bool repeat, const TSearchInput& in) {
      starts.push_back(in);
      repeats.push_back(repeat);
    };
  }
  void TearDown() override {
    delete form;
    DialogTest::TearDown();
  }
  // One search through the dialog with the text typed in.
  void Search(const String& text, const std::function<void()>& more = {}) {
    TModalResult r = RunModal(form, [&] {
      form->cboText->SetText(text);
      if (more) more();
      form->btnFind->Click();
    });
    EXPECT_EQ(mrOk, r);
  }
  std::vector<String> Offered() {
    std::vector<String> v;
    RunModal(form, [&] {
      for (int i = 0; i < form->cboText->Items()->GetCount(); ++i) v.push_back(form->cboText->Items()->Get(i));
      form->Button1->Click();
    });
    return v;
  }
  TfrmFind* form = nullptr;
  std::vector<TSearchInput> starts;
  std::vector<bool> repeats;
};

TEST_F(FindTest, DefaultsOnFirstUse) {
  RunModal(form, [&] {
    EXPECT_EQ(0, form->GetLeft());
    EXPECT_EQ(0, form->GetTop());
    EXPECT_EQ(1, form->rgrpType->GetItemIndex());
    EXPECT_EQ(0, form->rgrpScope->GetItemIndex());
    EXPECT_TRUE(form->chkSearchKeyNames->GetChecked());
    EXPECT_TRUE(form->chkSearchValueNames->GetChecked());
    EXPECT_TRUE(form->chkSearchStringData->GetChecked());
    EXPECT_FALSE(form->chkCaseSensitive->GetChecked());
    EXPECT_EQ(0, form->cboText->Items()->GetCount());
    EXPECT_EQ(form->cboText, form->GetActiveControl());
    form->Button1->Click();
  });
  EXPECT_TRUE(starts.empty());
}

TEST_F(FindTest, FindHandsTheOptionsToTheSearchAndStoresThem) {
  Search(L"needle", [&] {
    form->rgrpType->SetItemIndex(0);  // exact
    form->rgrpScope->SetItemIndex(1);
    form->chkCaseSensitive->SetChecked(true);
    form->chkSearchValueNames->SetChecked(false);
  });
  ASSERT_EQ(1u, starts.size());
  EXPECT_FALSE(repeats[0]);
  EXPECT_EQ(L"needle", starts[0].Text);
  EXPECT_EQ(stExact, starts[0].SearchType);
  EXPECT_TRUE(starts[0].Subtree);
  EXPECT_TRUE(starts[0].KeyNames);
  EXPECT_FALSE(starts[0].ValueNames);
  EXPECT_TRUE(starts[0].StringData);
  EXPECT_TRUE(starts[0].CaseSensitive);

  DWORD type = 0, n = 0;
  std::wstring text;
  ASSERT_TRUE(ReadSetting(L"FindForm", L"FindType", type, text, n));
  EXPECT_EQ(0u, n);
  ASSERT_TRUE(ReadSetting(L"FindForm", L"FindScope", type, text, n));
  EXPECT_EQ(1u, n);
  ASSERT_TRUE(ReadSetting(L"FindForm\\MRU", L"FindMRU_00", type, text, n));
  EXPECT_EQ(L"needle", text);

  // The next showing restores them.
  RunModal(form, [&] {
    EXPECT_EQ(0, form->rgrpType->GetItemIndex());
    EXPECT_EQ(1, form->rgrpScope->GetItemIndex());
    EXPECT_TRUE(form->chkCaseSensitive->GetChecked());
    EXPECT_FALSE(form->chkSearchValueNames->GetChecked());
    form->Button1->Click();
  });

  Search(L"^re", [&] { form->rgrpType->SetItemIndex(2); });
  EXPECT_EQ(stRegex, starts.back().SearchType);
  Search(L"sub", [&] {
    form->rgrpType->SetItemIndex(1);
    form->rgrpScope->SetItemIndex(0);
  });
  EXPECT_EQ(stSubstring, starts.back().SearchType);
  EXPECT_FALSE(starts.back().Subtree);
}

TEST_F(FindTest, HistoryMovesARepeatedTextToTheTopWithoutDuplicates) {
  Search(L"one");
  Search(L"two");
  Search(L"three");
  EXPECT_EQ((std::vector<String>{L"three", L"two", L"one"}), Offered());
  Search(L"one");
  EXPECT_EQ((std::vector<String>{L"one", L"three", L"two"}), Offered());
  // Texts that differ in case are different entries.
  Search(L"ONE");
  EXPECT_EQ((std::vector<String>{L"ONE", L"one", L"three", L"two"}), Offered());
}

TEST_F(FindTest, AnEmptyTextSearchesButLeavesTheHistoryAlone) {
  Search(L"kept");
  Search(L"");
  ASSERT_EQ(2u, starts.size());
  EXPECT_EQ(L"", starts[1].Text);
  EXPECT_EQ(std::vector<String>{L"kept"}, Offered());
}

TEST_F(FindTest, HistoryKeepsTheLast15) {
  for (int i = 1; i <= 16; ++i) Search(L"text " + IntToStr(i));
  std::vector<String> v = Offered();
  ASSERT_EQ(15u, v.size());
  EXPECT_EQ(L"text 16", v.front());
  EXPECT_EQ(L"text 2", v.back());
  DWORD type = 0, n = 0;
  std::wstring text;
  ASSERT_TRUE(ReadSetting(L"FindForm\\MRU", L"FindMRU_14", type, text, n));
  EXPECT_EQ(L"text 2", text);
  EXPECT_FALSE(ReadSetting(L"FindForm\\MRU", L"FindMRU_15", type, text, n));
}

TEST_F(FindTest, AStoredTypeOutsideTheItemsFallsBackToSubstring) {
  dm->SetOption(L"FindType", -1);
  dm->SetOption(L"FindScope", 7);
  Search(L"x");
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(stSubstring, starts[0].SearchType);
  EXPECT_FALSE(starts[0].Subtree);
}

TEST_F(FindTest, PositionIsKeptAndTheHelpButtonOpensTheSyntaxTopic) {
  std::vector<String> help;
  HelpDisplayHook = [&](const String& t) { help.push_back(t); };
  RunModal(form, [&] {
    form->SetLeft(55);
    form->SetTop(66);
    form->btnRegExHelp->Click();
    form->Button1->Click();
  });
  HelpDisplayHook = nullptr;
  ASSERT_EQ(1u, help.size());
  EXPECT_EQ(HelpFileName() + L"::/reg_syntax.htm", help[0]);
  EXPECT_NE(String::npos, help[0].find(L"Zembrio.chm::/reg_syntax.htm"));
  EXPECT_EQ(55, dm->GetOption(L"FindLeft").AsInteger());
  EXPECT_EQ(66, dm->GetOption(L"FindTop").AsInteger());
}

}  // namespace
