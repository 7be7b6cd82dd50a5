// Reading version resources: the test program's own (two translations,
// Debug and Patched flags), a file without one, and the controls it fills.
#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "classlib/Filer.h"
#include "statusbar/VersionInfo.h"

namespace {

String TempFileWithoutResource() {
  wchar_t dir[MAX_PATH], name[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"zvi", 0, name);
  HANDLE f = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(f, "plain text", 10, &n, nullptr);
  CloseHandle(f);
  return name;
}

}  // namespace

TEST(VersionInfo, ReadsTheProgramsOwnResource) {
  TOdVersionInfoResource vi(nullptr);
  EXPECT_FALSE(vi.FileVersion()->GetValid()) << "nothing is read before it is asked for";
  vi.SetFilename(L"");
  ASSERT_EQ(vi.TranslationIDs()->GetCount(), 2);
  EXPECT_EQ(vi.TranslationIDs()->Get(0), L"040904e4");
  EXPECT_EQ(vi.TranslationIDs()->Get(1), L"040704b0");
  EXPECT_EQ(vi.GetCompanyName(), L"Quorvel Test");
  EXPECT_EQ(vi.GetVersionInfoString(pdFileDescription), L"Status bar tests");
  EXPECT_EQ(vi.GetVersionInfoString(11), L"");
  EXPECT_EQ(vi.GetVersionInfoString(-1), L"");
  // The string table's text wins; an empty one gives the fixed numbers.
  EXPECT_EQ(vi.FileVersion()->GetVersionNumberString(), L"1.2 beta");
  EXPECT_EQ(vi.ProductVersion()->GetVersionNumberString(), L"5.6.7.8");
  EXPECT_EQ(vi.FileVersion()->GetVersionNumber(3), 4);
  EXPECT_EQ(vi.FixedInfo()->GetFileVersionMS(), 0x00010002u);
  EXPECT_EQ(vi.FixedInfo()->GetSignature(), 0xFEEF04BDu);
  EXPECT_EQ(vi.FixedInfo()->GetFileType(), vftApplication);
  EXPECT_EQ(vi.FixedInfo()->GetFileOperatingSystem(), (TVersionOperatingSystemFlags{vosNT, vosWindows32}));
  EXPECT_EQ(vi.FixedInfo()->GetFlags(), (TFixedFileInfoFlags{ffDebug, ffPatched}));
  EXPECT_EQ(vi.BuildFlags(), L"Debug, Patched");
  EXPECT_EQ(vi.FixedInfo()->GetCreationDate(), 0.0);

  // The second translation's table.
  vi.SetTranslationIDIndex(1);
  EXPECT_EQ(vi.GetCompanyName(), L"Quorvel Pr\u00fcfung");
  EXPECT_EQ(vi.GetLegalCopyright(), L"");
  vi.SetTranslationIDIndex(2);
  EXPECT_EQ(vi.GetTranslationIDIndex(), 1) << "an index past the list is ignored";
}

TEST(VersionInfo, FileWithoutResourceGivesNothing) {
  TOdVersionInfoResource vi(nullptr);
  vi.SetFilename(L"");
  vi.SetTranslationIDIndex(1);
  String name = TempFileWithoutResource();
  vi.SetFilename(name);
  EXPECT_EQ(vi.TranslationIDs()->GetCount(), 0);
  EXPECT_EQ(vi.GetCompanyName(), L"");
  EXPECT_FALSE(vi.FileVersion()->GetValid());
  EXPECT_EQ(vi.FileVersion()->GetVersionNumberString(), L"");
  EXPECT_EQ(vi.FileVersion()->GetVersionNumber(0), 0);
  EXPECT_EQ(vi.FixedInfo()->GetFileVersionMS(), 0u);
  EXPECT_EQ(vi.FixedInfo()->GetFileType(), vftUnknown);
  EXPECT_EQ(vi.BuildFlags(), L"");
  vi.SetFilename(L"C:\\no\\such\\file.exe");
  EXPECT_EQ(vi.GetProductName(), L"");
  // Back to the program: a file without data left the index alone.
  vi.SetFilename(L"");
  EXPECT_EQ(vi.GetTranslationIDIndex(), 1);
  EXPECT_EQ(vi.GetProductName(), L"Zembrio Pr\u00fcfung");
  // A file with a single translation puts the index back to 0.
  wchar_t sys[MAX_PATH];
  GetSystemDirectoryW(sys, MAX_PATH);
  vi.SetFilename(String(sys) + L"\\kernel32.dll");
  ASSERT_EQ(vi.TranslationIDs()->GetCount(), 1);
  EXPECT_EQ(vi.GetTranslationIDIndex(), 0);
  // Over-long names are refused like missing files.
  vi.SetFilename(String(300, L'x'));
  EXPECT_FALSE(vi.FileVersion()->GetValid());
  DeleteFileW(name.c_str());
}

TEST(VersionInfo, FillsLabelsAndTheListView) {
  auto* form = new TForm(Application);
  auto* version = new TLabel(form);
  auto* product = new TLabel(form);
  auto* lv = new TListView(form);
  version->SetParent(form);
  product->SetParent(form);
  lv->SetParent(form);
  TOdVersionInfoResource vi(nullptr);
  vi.SetVersionListView(lv);
  vi.SetFilename(L"");
  auto rows = [&] {
    std::vector<std::pair<String, String>> out;
    for (int i = 0; i < lv->Items()->GetCount(); ++i)
      out.emplace_back(lv->Items()->GetItem(i)->GetCaption(), lv->Items()->GetItem(i)->SubItems()->Get(0));
    return out;
  };
  ASSERT_EQ(lv->Columns()->GetCount(), 2);
  EXPECT_EQ(lv->Columns()->GetItem(0)->GetCaption(), L"Resource");
  EXPECT_EQ(lv->Columns()->GetItem(1)->GetCaption(), L"Value");
  EXPECT_EQ(lv->GetViewStyle(), vsReport);
  std::vector<std::pair<String, String>> expect = {
      {L"Product Name", L"Zembrio Test"},       {L"Product Version", L"5.6.7.8"},
      {L"Company Name", L"Quorvel Test"},       {L"Legal Copyright", L"Copyright Quorvel"},
      {L"File Description", L"Status bar tests"}, {L"File Version", L"1.2 beta"},
      {L"Build Flags", L"Debug, Patched"}};
  EXPECT_EQ(rows(), expect);
  // A value shown on a label is not repeated in the list.
  vi.SetProductLabel(product);
  vi.SetVersionLabel(version);
  EXPECT_EQ(product->GetCaption(), L"Zembrio Test");
  EXPECT_EQ(version->GetCaption(), L"1.2 beta");
  EXPECT_FALSE(vi.GetShowResource().Contains(pdProductName));
  expect.erase(expect.begin());
  expect.erase(expect.begin() + 4);
  EXPECT_EQ(rows(), expect);
  // A freed label is forgotten.
  delete product;
  EXPECT_EQ(vi.GetProductLabel(), nullptr);
  vi.SetShowResource(TPreDefs{pdCompanyName});
  EXPECT_EQ(rows().size(), 1u);
  delete form;
}

namespace {

bool Stored(TMemoryStream& S, const std::string& Name) {
  std::string bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  return bytes.find(char(Name.size()) + Name) != std::string::npos;
}

// A form with the four labels and the list view a version reader fills.
struct AboutForm {
  std::unique_ptr<TForm> form;
  TLabel *version, *copyright, *description, *product;
  TListView* list;
  explicit AboutForm(const wchar_t* Name) : form(new TForm(Application)) {
    form->SetName(Name);
    auto label = [&](const wchar_t* N) {
      auto* l = new TLabel(form.get());
      l->SetName(N);
      l->SetCaption(N);
      l->SetParent(form.get());
      return l;
    };
    version = label(L"VersionText");
    copyright = label(L"CopyrightText");
    description = label(L"DescriptionText");
    product = label(L"ProductText");
    list = new TListView(form.get());
    list->SetName(L"Details");
    list->SetParent(form.get());
  }
};

const char* const kStoredNames[] = {"Filename",    "ForceEXE",         "ShowResource", "VersionLabel",
                                    "CopyrightLabel", "DescriptionLabel", "ProductLabel", "VersionListView"};

String ProgramName() {
  wchar_t buf[MAX_PATH];
  return String(buf, GetModuleFileNameW(nullptr, buf, MAX_PATH));
}

}  // namespace

TEST(VersionInfo, EveryPublishedPropertyReadsBack) {
  TMemoryStream S;
  {
    AboutForm a(L"AboutSource");
    auto* vi = new TOdVersionInfoResource(a.form.get());
    vi->SetName(L"Info");
    TWriter(&S).WriteRootComponent(a.form.get());
    for (const char* n : kStoredNames) EXPECT_FALSE(Stored(S, n)) << n;
    EXPECT_FALSE(Stored(S, "Version"));
    vi->SetFilename(ProgramName());
    vi->SetForceEXE(true);
    vi->SetVersionLabel(a.version);
    vi->SetCopyrightLabel(a.copyright);
    vi->SetDescriptionLabel(a.description);
    vi->SetProductLabel(a.product);
    vi->SetVersionListView(a.list);
    // Chosen after the labels: the file version shows in the list too.
    vi->SetShowResource(TPreDefs{pdCompanyName, pdFileVersion});
    S.Clear();
    TWriter(&S).WriteRootComponent(a.form.get());
    for (const char* n : kStoredNames) EXPECT_TRUE(Stored(S, n)) << n;
    EXPECT_FALSE(Stored(S, "Version"));
  }
  // Read into a form of the same controls; the reader is made by class and
  // fills them once the form is read.
  AboutForm b(L"AboutCopy");
  S.SetPosition(0);
  TReader(&S).ReadRootComponent(b.form.get());
  auto* vi = dynamic_cast<TOdVersionInfoResource*>(b.form->FindComponent(L"Info"));
  ASSERT_NE(vi, nullptr);
  EXPECT_EQ(vi->GetFilename(), ProgramName());
  EXPECT_TRUE(vi->GetForceEXE());
  EXPECT_EQ(vi->GetShowResource(), (TPreDefs{pdCompanyName, pdFileVersion}));
  EXPECT_EQ(vi->GetVersionLabel(), b.version);
  EXPECT_EQ(vi->GetCopyrightLabel(), b.copyright);
  EXPECT_EQ(vi->GetDescriptionLabel(), b.description);
  EXPECT_EQ(vi->GetProductLabel(), b.product);
  EXPECT_EQ(vi->GetVersionListView(), b.list);
  EXPECT_EQ(b.version->GetCaption(), L"1.2 beta");
  EXPECT_EQ(b.product->GetCaption(), L"Zembrio Test");
  ASSERT_EQ(b.list->Items()->GetCount(), 2);
  EXPECT_EQ(b.list->Items()->GetItem(1)->GetCaption(), L"File Version");
}

// A designed reader leaves its controls as designed.
TEST(VersionInfo, DesignedReaderFillsNothing) {
  AboutForm a(L"AboutDesigned");
  a.form->SetDesigning(true);
  auto* vi = new TOdVersionInfoResource(a.form.get());
  ASSERT_TRUE(vi->IsDesigning());
  vi->SetVersionLabel(a.version);
  vi->SetVersionListView(a.list);
  vi->SetFilename(L"");
  EXPECT_TRUE(vi->FileVersion()->GetValid());
  EXPECT_EQ(a.version->GetCaption(), L"VersionText");
  EXPECT_EQ(a.list->Items()->GetCount(), 0);
  a.form->SetDesigning(false);
  vi->SetFilename(L"");
  EXPECT_EQ(a.version->GetCaption(), L"1.2 beta");
  EXPECT_GT(a.list->Items()->GetCount(), 0);
}
