// The folder dialog: an existing folder is taken; a missing one is refused,
// or taken (and made) as the options say, asking first with sdPrompt.
#include <windows.h>

#include "classlib/Dialogs.h"
#include "classlib/StdCtrls.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

namespace {

// A folder of its own under the build's temporary folder.
String ScratchDir(const String& Name) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  return IncludeTrailingPathDelimiter(tmp) + L"zembrio-seldir-" + IntToStr(int(GetCurrentProcessId())) + L"-" + Name;
}

// Runs the dialog with Typed in its edit, pressing OK and then Cancel (the
// second counts only when the first was refused).
bool RunWith(String& Directory, TSelectDirOpts Options, const String& Typed) {
  SelectDirectoryShowHook = [Typed](TForm* f) {
    f->OnShow = [f, Typed](TObject*) {
      static_cast<TEdit*>(f->FindComponent(L"DirEdit"))->SetText(Typed);
      static_cast<TButton*>(f->FindComponent(L"OKButton"))->Click();
      if (f->GetModalResult() == mrNone) static_cast<TButton*>(f->FindComponent(L"CancelButton"))->Click();
    };
  };
  const bool r = SelectDirectory(Directory, Options, 0);
  SelectDirectoryShowHook = nullptr;
  return r;
}

struct Answers {
  std::vector<String> Asked;
  int Reply = IDOK;
  Answers() {
    MessageBoxHook = [this](const String& text, const String&, UINT) {
      Asked.push_back(text);
      return Reply;
    };
  }
  ~Answers() { MessageBoxHook = nullptr; }
};

}  // namespace

TEST(GuiSelectDirectory, ExistingFoldersAreTakenMissingOnesAsTheOptionsSay) {
  const String there = ScratchDir(L"there");
  ASSERT_TRUE(ForceDirectories(there));
  Answers a;
  String dir = GetCurrentDir();
  EXPECT_TRUE(RunWith(dir, {}, there));
  EXPECT_EQ(there, dir);
  EXPECT_TRUE(a.Asked.empty());

  // Missing, no creating allowed: an error, the dialog stays (then Cancel).
  const String missing = ScratchDir(L"missing");
  dir = there;
  EXPECT_FALSE(RunWith(dir, {}, missing));
  ASSERT_EQ(1u, a.Asked.size());
  EXPECT_NE(String::npos, a.Asked[0].find(L"does not exist"));
  EXPECT_EQ(there, dir);

  // Allowed: taken as it is, made only with sdPerformCreate.
  EXPECT_TRUE(RunWith(dir, {sdAllowCreate}, missing));
  EXPECT_EQ(missing, dir);
  EXPECT_FALSE(DirectoryExists(missing));
  // sdPrompt asks first; No keeps the dialog open, Yes makes the folder.
  a.Asked.clear();
  a.Reply = IDNO;
  EXPECT_FALSE(RunWith(dir, {sdAllowCreate, sdPerformCreate, sdPrompt}, missing));
  EXPECT_EQ(1u, a.Asked.size());
  EXPECT_FALSE(DirectoryExists(missing));
  a.Reply = IDYES;
  EXPECT_TRUE(RunWith(dir, {sdAllowCreate, sdPerformCreate, sdPrompt}, missing + L"\\deeper"));
  EXPECT_TRUE(DirectoryExists(missing + L"\\deeper"));
  RemoveDirectoryW((missing + L"\\deeper").c_str());
  RemoveDirectoryW(missing.c_str());
  RemoveDirectoryW(there.c_str());
}
