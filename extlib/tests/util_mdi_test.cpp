// The extended library on real MDI forms: the application's main form (one
// made for the test when there is none) is an MDI parent for each test and
// plain again afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "classlib/IniFiles.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExPlacement.h"
#include "extlib/ExPlacementForm.h"

namespace {

// MDI children of classes known by name; each makes itself a child.
template <const char* Name>
class TMdiChildWnd : public TForm {
 public:
  explicit TMdiChildWnd(TComponent* AOwner) : TForm(AOwner) {
    SetFormStyle(fsMDIChild);
    SetBounds(0, 0, 200, 150);
  }
  const char* ClassName() const override { return Name; }
};
constexpr char kEditor[] = "TEditorWnd";
constexpr char kViewer[] = "TViewerWnd";
constexpr char kLog[] = "TLogWnd";
using TEditorWnd = TMdiChildWnd<kEditor>;
using TViewerWnd = TMdiChildWnd<kViewer>;
using TLogWnd = TMdiChildWnd<kLog>;

String NameOf(const TPersistent* O) {
  const char* N = O->ClassName();
  return String(N, N + strlen(N));
}

// The forms made through the class registry, by class name.
std::vector<String> MadeForms;
template <class T>
TComponent* Recording(TComponent* Owner) {
  T* F = new T(Owner);
  MadeForms.push_back(NameOf(F));
  return F;
}

class MdiForms : public ::testing::Test {
 protected:
  void SetUp() override {
    InitForms();
    Main = Application->GetMainForm();
    if (!Main) {
      Own.reset(Application->CreateForm<TForm>());
      Main = Own.get();
    }
    Main->SetFormStyle(fsMDIForm);
    Main->SetBounds(30, 30, 640, 460);
    // The MDI client takes what the bar leaves of the main form.
    Bar = new TPanel(Main);
    Bar->SetHeight(40);
    Bar->SetAlign(alTop);
    Bar->SetParent(Main);
    Main->Show();
  }
  void TearDown() override {
    if (!Main) return;
    while (Main->MDIChildCount() > 0) delete Main->MDIChildren(0);
    delete Bar;
    Main->SetWindowState(wsNormal);
    Main->Hide();
    Main->SetFormStyle(fsNormal);
  }
  template <class T>
  T* Open() {
    auto* F = new T(Application);
    F->Show();
    return F;
  }
  // The children's class names, in the client's order.
  std::vector<String> Order() const {
    std::vector<String> R;
    for (TCustomForm* F : MDIChildrenOf(Main)) R.push_back(NameOf(F));
    return R;
  }
  std::vector<String> Saved() {
    std::vector<String> R;
    for (int I = 0; I < IniReadInteger(&Ini, L"MDI Children", L"Count", 0); ++I)
      R.push_back(IniReadString(&Ini, L"MDI Children", Format(L"Item%d", I), L""));
    return R;
  }

  std::unique_ptr<TForm> Own;  // the main form when the program had none
  TCustomForm* Main = nullptr;
  TPanel* Bar = nullptr;
  TMemIniFile Ini{L"zembrio-extlib-mdi-not-saved.ini"};
};

}  // namespace

TEST_F(MdiForms, ChildrenAreSavedInTheClientsOrderAndRestoredLastFirst) {
  TForm Plain(Application);
  try {
    SaveMDIChildren(&Plain, &Ini);
    FAIL() << "no exception";
  } catch (const EInvalidOperation& E) {
    EXPECT_EQ(E.Message(), L"Cannot create form. No MDI forms are currently active");
  }
  EXPECT_THROW(RestoreMDIChildren(&Plain, &Ini), EInvalidOperation);

  // Opened editor, viewer, editor; then the viewer is activated: the client
  // keeps the viewer first, then the second editor, then the first.
  Open<TEditorWnd>();
  TViewerWnd* Viewer = Open<TViewerWnd>();
  Open<TEditorWnd>();
  SendMessageW(Main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(Viewer->Handle()), 0);
  IniWriteString(&Ini, L"MDI Children", L"Item7", L"stale");
  SaveMDIChildren(Main, &Ini);
  EXPECT_EQ(Saved(), (std::vector<String>{L"TViewerWnd", L"TEditorWnd", L"TEditorWnd"}));
  EXPECT_EQ(IniReadString(&Ini, L"MDI Children", L"Item7", L"gone"), L"gone");

  // Restoring into an empty client opens the last saved first, so the first
  // saved ends up active and the client's order is the saved one; a name no
  // class is registered under, and a class that makes no form, are passed.
  while (Main->MDIChildCount() > 0) delete Main->MDIChildren(0);
  MadeForms.clear();
  RegisterComponentClass(L"TEditorWnd", Recording<TEditorWnd>);
  RegisterComponentClass(L"TViewerWnd", Recording<TViewerWnd>);
  RegisterComponentClass(L"TLogWnd", Recording<TLogWnd>);
  RegisterComponentClass(L"TNoForm", [](TComponent* O) { return new TComponent(O); });
  const std::vector<String> Items{L"TViewerWnd", L"TUnknownWnd", L"TLogWnd", L"TEditorWnd", L"TNoForm"};
  IniWriteInteger(&Ini, L"MDI Children", L"Count", static_cast<int>(Items.size()));
  for (size_t I = 0; I < Items.size(); ++I) IniWriteString(&Ini, L"MDI Children", Format(L"Item%d", int(I)), Items[I]);
  RestoreMDIChildren(Main, &Ini);
  EXPECT_EQ(MadeForms, (std::vector<String>{L"TEditorWnd", L"TLogWnd", L"TViewerWnd"}));
  EXPECT_EQ(Order(), (std::vector<String>{L"TViewerWnd", L"TLogWnd", L"TEditorWnd"}));
  for (TCustomForm* F : MDIChildrenOf(Main)) {
    EXPECT_EQ(GetParent(F->Handle()), Main->ClientHandle());
    EXPECT_TRUE(IsWindowVisible(F->Handle()));
  }
  EXPECT_EQ(Screen->GetCursor(), crDefault);  // the wait cursor is gone again

  // Open forms of the saved classes are shown again, not made twice.
  RestoreMDIChildren(Main, &Ini);
  EXPECT_EQ(MadeForms.size(), 3u);
  EXPECT_EQ(Main->MDIChildCount(), 3);

  // A damaged count (past the items stored) opens nothing, at once.
  IniWriteInteger(&Ini, L"MDI Children", L"Count", 2147483647);
  while (Main->MDIChildCount() > 0) delete Main->MDIChildren(0);
  RestoreMDIChildren(Main, &Ini);
  EXPECT_EQ(Main->MDIChildCount(), 0);
}

TEST_F(MdiForms, AnMdiChildIsCentredInTheClient) {
  TLogWnd* Log = Open<TLogWnd>();
  Log->SetBounds(0, 0, 200, 150);
  CenterControl(Log);
  RECT Client{}, R{};
  GetClientRect(Main->ClientHandle(), &Client);
  GetWindowRect(Log->Handle(), &R);
  MapWindowPoints(nullptr, Main->ClientHandle(), reinterpret_cast<POINT*>(&R), 2);
  EXPECT_EQ(R.left, (Client.right - 200) / 2);
  EXPECT_EQ(R.top, (Client.bottom - 150) / 2);
  EXPECT_EQ(R.right - R.left, 200);
}

TEST_F(MdiForms, TheClientsEdgeComesAndGoesWithItsFrame) {
  HWND Client = Main->ClientHandle();
  ShowMDIClientEdge(Client, true);
  ASSERT_TRUE(GetWindowLongPtrW(Client, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  RECT With{}, Without{};
  GetClientRect(Client, &With);
  ShowMDIClientEdge(Client, false);
  EXPECT_FALSE(GetWindowLongPtrW(Client, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  GetClientRect(Client, &Without);
  // The frame is drawn anew at once: the client area takes the edge's room.
  EXPECT_EQ(Without.right - With.right, 2 * GetSystemMetrics(SM_CXEDGE));
  EXPECT_EQ(Without.bottom - With.bottom, 2 * GetSystemMetrics(SM_CYEDGE));
}

TEST_F(MdiForms, ChildAndMainStatesGoThroughThePlacement) {
  // A minimised child is stored with its minimised position marked.
  TLogWnd* Log = Open<TLogWnd>();
  Log->SetWindowState(wsMinimized);
  ASSERT_TRUE(IsIconic(Log->Handle()));
  WriteFormPlacement(Log, &Ini, L"Log");
  EXPECT_EQ(IniReadInteger(&Ini, L"Log", L"Flags", 0) & WPF_SETMINPOSITION, WPF_SETMINPOSITION);
  EXPECT_EQ(IniReadInteger(&Ini, L"Log", L"ShowCmd", 0), SW_SHOWMINIMIZED);
  delete Log;

  // A child with a placement on it takes the stored state as it is shown.
  String IniName = NormalDir(GetTempDir()) + L"zembrio-extlib-mdi-placement.ini";
  struct Case {
    int ShowCmd;
    BOOL (*Check)(HWND);
  };
  for (Case C : {Case{SW_SHOWMINIMIZED, &IsIconic}, Case{SW_SHOWMAXIMIZED, &IsZoomed}}) {
    SCOPED_TRACE(C.ShowCmd);
    DeleteFileW(IniName.c_str());
    {
      TIniFile File(IniName);
      File.WriteInteger(L"TLogWnd", L"ShowCmd", C.ShowCmd);
    }
    auto* Child = new TLogWnd(Application);
    auto* Placement = new TFormPlacement(Child);
    Placement->SetIniFileName(IniName);
    Placement->Loaded();
    Child->Show();
    EXPECT_TRUE(C.Check(Child->Handle()));
    EXPECT_EQ(GetParent(Child->Handle()), Main->ClientHandle());
    Placement->Active = false;
    delete Child;
  }
  DeleteFileW(IniName.c_str());

  // The main MDI form opens maximised when nothing is stored, and as
  // stored otherwise.
  Main->Hide();
  ReadFormPlacement(Main, &Ini, L"Nothing", true, false);
  Main->Show();
  EXPECT_TRUE(IsZoomed(Main->Handle()));
  Main->SetWindowState(wsNormal);
  Main->Hide();
  IniWriteInteger(&Ini, L"Normal", L"ShowCmd", SW_SHOWNORMAL);
  ReadFormPlacement(Main, &Ini, L"Normal", true, false);
  Main->Show();
  EXPECT_FALSE(IsZoomed(Main->Handle()));
}
