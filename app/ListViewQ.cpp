// The list view with column sorting and a stored layout.
#include "app/ListViewQ.h"

#include "classlib/Registry.h"

TListViewQ::TListViewQ(TComponent* AOwner) : TCustomListView(AOwner) {}

void TListViewQ::ColClick(TListColumn* Column) {
  TCustomListView::ColClick(Column);
  if (!AutoColumnSort || !Column) return;
  int c = Column->GetIndex();
  DoColumnSort(c, c == SortColumn ? !SortAscending : true);
}

void TListViewQ::InsertItem(TListItem* Item) {
  InitSort();
  TCustomListView::InsertItem(Item);
}

void TListViewQ::Edit(const LVITEMW& Item) {
  InitSort();
  TCustomListView::Edit(Item);
}

void TListViewQ::InitSort() {
  if (ShowSortIndicator && SortColumn >= 0 && SortColumn < Columns()->GetCount()) {
    TListColumn* col = Columns()->GetItem(SortColumn);
    String cap = col->GetCaption();
    if (cap.size() >= 2) col->SetCaption(cap.substr(0, cap.size() - 2));
  }
  SortColumn = -1;
  SortAscending = true;
}

namespace {
String SortText(TListItem* Item, int Column) {
  if (Column == 0) return Item->GetCaption();
  TStrings* sub = Item->SubItems();
  return Column - 1 < sub->GetCount() ? sub->Get(Column - 1) : String();
}
}  // namespace

int CALLBACK TListViewQ::Compare(LPARAM A, LPARAM B, LPARAM Param) {
  auto* a = reinterpret_cast<TListItem*>(A);
  auto* b = reinterpret_cast<TListItem*>(B);
  int p = static_cast<int>(Param);
  int k = (p < 0 ? -p : p) - 1;
  // The locale's word order, case-sensitive, as the system compares text.
  String ta = SortText(a, k), tb = SortText(b, k);
  int r = CompareStringW(LOCALE_USER_DEFAULT, 0, ta.c_str(), int(ta.size()), tb.c_str(), int(tb.size())) - 2;
  return p > 0 ? r : -r;
}

bool TListViewQ::DoColumnSort(int Column, bool Ascending) {
  if (Column < 0 || Column >= Columns()->GetCount()) return false;
  InitSort();
  SortColumn = Column;
  SortAscending = Ascending;
  if (ShowSortIndicator) {
    TListColumn* col = Columns()->GetItem(Column);
    col->SetCaption(col->GetCaption() + (Ascending ? L" +" : L" -"));
  }
  return CustomSort(&TListViewQ::Compare, Ascending ? Column + 1 : -(Column + 1));
}

String TListViewQ::GetColumnSizeString() {
  String s;
  for (int i = 0; i < Columns()->GetCount(); ++i) {
    if (i) s += L",";
    s += IntToStr(Columns()->GetItem(i)->GetWidth());
  }
  return s;
}

void TListViewQ::SetColumnSizes(const String& Text) {
  String rest = Text;
  int i = 0;
  size_t comma;
  while ((comma = rest.find(L',')) != String::npos && i < Columns()->GetCount()) {
    Columns()->GetItem(i)->SetWidth(StrToInt(rest.substr(0, comma)));
    ++i;
    rest = rest.substr(comma + 1);
  }
  if (!rest.empty() && i < Columns()->GetCount()) Columns()->GetItem(i)->SetWidth(StrToInt(rest));
}

void TListViewQ::SaveOptions() {
  TRegistryIniFile ini(RegistryKey);
  ini.WriteString(L"", L"ColumnSizes", GetColumnSizeString());
  ini.WriteInteger(L"", L"SortColumn", SortColumn);
  ini.WriteString(L"", L"SortAscending", SortAscending ? L"1" : L"0");
  ini.WriteInteger(L"", L"ViewStyle", static_cast<int>(GetViewStyle()));
}

void TListViewQ::LoadOptions() {
  TRegistryIniFile ini(RegistryKey);
  // Each part of the layout is read on its own: a damaged one keeps the
  // current state of that part and the rest still loads.
  auto readInt = [&ini](const wchar_t* name, int def) {
    try {
      return ini.ReadInteger(L"", name, def);
    } catch (const Exception&) {
      return def;
    }
  };
  try {
    SetColumnSizes(ini.ReadString(L"", L"ColumnSizes", L""));
  } catch (const Exception&) {
  }
  int c = readInt(L"SortColumn", 0);
  bool a = readInt(L"SortAscending", 1) != 0;
  int vs = readInt(L"ViewStyle", static_cast<int>(GetViewStyle()));
  if (vs >= vsIcon && vs <= vsReport) SetViewStyle(static_cast<TViewStyle>(vs));
  DoColumnSort(c, a);
}

void TListViewQ::DefineProperties(TFiler* Filer) {
  TCustomListView::DefineProperties(Filer);
  auto* a = dynamic_cast<TListViewQ*>(Filer->GetAncestor());
  Filer->DefineProperty(
      L"AutoColumnSort", [this](TReader* R) { AutoColumnSort = R->ReadBoolean(); },
      [this](TWriter* W) { W->WriteBoolean(AutoColumnSort); },
      AutoColumnSort != (a ? a->AutoColumnSort : false));
  Filer->DefineProperty(
      L"RegistryKey", [this](TReader* R) { RegistryKey = R->ReadString(); },
      [this](TWriter* W) { W->WriteString(RegistryKey); },
      RegistryKey != (a ? a->RegistryKey : String(L"Software")));
  Filer->DefineProperty(
      L"ShowSortIndicator", [this](TReader* R) { ShowSortIndicator = R->ReadBoolean(); },
      [this](TWriter* W) { W->WriteBoolean(ShowSortIndicator); },
      ShowSortIndicator != (a ? a->ShowSortIndicator : true));
}

void ListViewQ::Register() {
  RegisterComponents(L"Quorvel", {ComponentClass<TListViewQ>(L"TListViewQ")});
  // Making one touches nothing but the new control: what its constructor
  // sets is not written while unchanged.
  CompareWithNewComponents({L"TListViewQ"});
}
