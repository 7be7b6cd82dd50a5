// Saving and loading where the dockable windows of a form stand.
#include <algorithm>
#include <memory>
#include <vector>

#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarUtilsWin.h"

namespace {
constexpr int kRev = 2000;

TBarDock* FindDock(TComponent* Owner, const String& Name) {
  for (int i = 0; i < Owner->GetComponentCount(); ++i) {
    auto* d = dynamic_cast<TBarDock*>(Owner->GetComponent(i));
    if (d && _wcsicmp(d->GetName().c_str(), Name.c_str()) == 0) return d;
  }
  return nullptr;
}

// A window that would stand on no monitor at all comes back on screen.
void BringOnScreen(TBarCustomDockableWindow* W) {
  if (!W->GetParent()) return;
  RECT r = W->GetBoundsRect();
  if (W->GetParent()->HandleAllocated())
    MapWindowPoints(W->GetParent()->GetHandle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
  if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) return;
  W->MoveOnScreen(false);
}
}  // namespace

void BarCustomSavePositions(TComponent* OwnerComponent, TBarPositionWriteIntProc WriteIntProc,
                            TBarPositionWriteStringProc WriteStringProc, void* ExtraData) {
  for (int i = 0; i < OwnerComponent->GetComponentCount(); ++i) {
    auto* w = dynamic_cast<TBarCustomDockableWindow*>(OwnerComponent->GetComponent(i));
    if (!w) continue;
    const String& name = w->GetName();
    if (name.empty()) throw Exception(String(SBarToolwinNameNotSet));
    String dockedTo;
    if (w->GetFloating()) {
      dockedTo = L"+";
    } else if (TBarDock* d = w->GetCurrentDock()) {
      if (d->GetAllowDrag()) {
        if (d->GetName().empty()) throw Exception(String(SBarToolwinDockedToNameNotSet));
        dockedTo = d->GetName();
      }
    } else {
      continue;  // neither docked nor floating: nothing to store
    }
    String lastDock = w->GetLastDock() ? w->GetLastDock()->GetName() : String();
    WriteIntProc(name, L"Rev", kRev, ExtraData);
    WriteIntProc(name, L"Visible", w->GetVisible() ? 1 : 0, ExtraData);
    WriteStringProc(name, L"DockedTo", dockedTo, ExtraData);
    WriteStringProc(name, L"LastDock", lastDock, ExtraData);
    WriteIntProc(name, L"DockRow", w->GetDockRow(), ExtraData);
    WriteIntProc(name, L"DockPos", w->GetDockPos(), ExtraData);
    WriteIntProc(name, L"FloatLeft", w->FloatingPosition.x, ExtraData);
    WriteIntProc(name, L"FloatTop", w->FloatingPosition.y, ExtraData);
    TBarWritePositionData data{WriteIntProc, WriteStringProc, ExtraData, &name};
    w->WritePositionData(data);
  }
}

void BarCustomLoadPositions(TComponent* OwnerComponent, TBarPositionReadIntProc ReadIntProc,
                            TBarPositionReadStringProc ReadStringProc, void* ExtraData) {
  std::vector<TBarDock*> docks;
  for (int i = 0; i < OwnerComponent->GetComponentCount(); ++i)
    if (auto* d = dynamic_cast<TBarDock*>(OwnerComponent->GetComponent(i))) {
      d->BeginUpdate();
      docks.push_back(d);
    }
  // The docks that windows were placed on (or will return to): the
  // arrangement when they end their update makes the loaded rows and
  // positions the windows' own, as arranged.
  std::vector<TBarDock*> placed;
  auto endUpdates = [&] {
    for (TBarDock* d : placed) {
      d->commitPositions_ = true;
      d->arrangeNeeded_ = true;
    }
    for (auto it = docks.rbegin(); it != docks.rend(); ++it) (*it)->EndUpdate();
    // A dock that could not arrange now keeps no commit for later.
    for (TBarDock* d : placed) d->commitPositions_ = false;
  };
  auto place = [&](TBarDock* d) {
    if (d && std::find(placed.begin(), placed.end(), d) == placed.end()) placed.push_back(d);
  };
  try {
    for (int i = 0; i < OwnerComponent->GetComponentCount(); ++i) {
      auto* w = dynamic_cast<TBarCustomDockableWindow*>(OwnerComponent->GetComponent(i));
      if (!w) continue;
      const String& name = w->GetName();
      if (name.empty()) throw Exception(String(SBarToolwinNameNotSet));
      if (ReadIntProc(name, L"Rev", 0, ExtraData) != kRev) continue;
      w->SetVisible(ReadIntProc(name, L"Visible", w->GetVisible() ? 1 : 0, ExtraData) != 0);
      String dockedTo = ReadStringProc(name, L"DockedTo", String(), ExtraData);
      if (dockedTo.empty()) continue;
      TBarDock* dock = nullptr;
      if (dockedTo != L"+") {
        dock = FindDock(OwnerComponent, dockedTo);
        if (!dock || !dock->GetAllowDrag()) continue;
      }
      w->SetDockRow(ReadIntProc(name, L"DockRow", w->GetDockRow(), ExtraData));
      w->SetDockPos(ReadIntProc(name, L"DockPos", w->GetDockPos(), ExtraData));
      int fl = ReadIntProc(name, L"FloatLeft", 0, ExtraData);
      int ft = ReadIntProc(name, L"FloatTop", 0, ExtraData);
      TBarReadPositionData data{ReadIntProc, ReadStringProc, ExtraData, &name};
      w->ReadPositionData(data);
      w->SetFloatingPosition(POINT{fl, ft});
      if (dock) {
        place(dock);
        w->SetParent(dock);
      } else {
        w->SetFloating(true);
        w->MoveOnScreen(true);
        if (w->GetUseLastDock()) {
          String last = ReadStringProc(name, L"LastDock", String(), ExtraData);
          if (TBarDock* d = last.empty() ? nullptr : FindDock(OwnerComponent, last)) {
            place(d);
            w->SetLastDock(d);
          }
        }
      }
      w->Arrange();
      w->DoneReadingPositionData(data);
    }
  } catch (...) {
    endUpdates();
    throw;
  }
  endUpdates();
  // After the docks have arranged: nothing may stay out of reach.
  for (int i = 0; i < OwnerComponent->GetComponentCount(); ++i)
    if (auto* w = dynamic_cast<TBarCustomDockableWindow*>(OwnerComponent->GetComponent(i)))
      BringOnScreen(w);
}

// ---- ini files -------------------------------------------------------------------------
namespace {
struct IniData {
  TCustomIniFile* Ini;
  String Prefix;
};

// As from the registry, each value is read on its own: an ini file kept in
// the registry (TRegistryIniFile) raises on a value of another type or on
// text that is no number, and that value alone takes its default.
int IniReadInt(const String& N, const String& V, int D, void* X) {
  auto* d = static_cast<IniData*>(X);
  try {
    return d->Ini->ReadInteger(d->Prefix + N, V, D);
  } catch (const ERegistryException&) {
    return D;
  } catch (const EConvertError&) {
    return D;
  }
}
String IniReadString(const String& N, const String& V, const String& D, void* X) {
  auto* d = static_cast<IniData*>(X);
  try {
    return d->Ini->ReadString(d->Prefix + N, V, D);
  } catch (const ERegistryException&) {
    return D;
  }
}
void IniWriteInt(const String& N, const String& V, int Data, void* X) {
  auto* d = static_cast<IniData*>(X);
  d->Ini->WriteInteger(d->Prefix + N, V, Data);
}
void IniWriteString(const String& N, const String& V, const String& Data, void* X) {
  auto* d = static_cast<IniData*>(X);
  d->Ini->WriteString(d->Prefix + N, V, Data);
}
}  // namespace

void BarIniSavePositions(TComponent* OwnerComponent, TCustomIniFile* Ini,
                         const String& SectionNamePrefix) {
  IniData d{Ini, SectionNamePrefix};
  BarCustomSavePositions(OwnerComponent, IniWriteInt, IniWriteString, &d);
}

void BarIniLoadPositions(TComponent* OwnerComponent, TCustomIniFile* Ini,
                         const String& SectionNamePrefix) {
  IniData d{Ini, SectionNamePrefix};
  BarCustomLoadPositions(OwnerComponent, IniReadInt, IniReadString, &d);
}

void BarIniSavePositions(TComponent* OwnerComponent, const String& FileName,
                         const String& SectionNamePrefix) {
  auto ini = std::make_unique<TIniFile>(FileName);
  BarIniSavePositions(OwnerComponent, ini.get(), SectionNamePrefix);
}

void BarIniLoadPositions(TComponent* OwnerComponent, const String& FileName,
                         const String& SectionNamePrefix) {
  auto ini = std::make_unique<TIniFile>(FileName);
  BarIniLoadPositions(OwnerComponent, ini.get(), SectionNamePrefix);
}

// ---- registry ----------------------------------------------------------------------------
namespace {
struct RegData {
  TRegIniFile* Reg;
  bool Failed = false;
  String Error;  // the first failure's message
};

// Each value is read on its own: one that cannot be read (stored with
// another type, binary or multi-string, by hand or by another program)
// takes its own default, and the values after it, of this window and of
// the later ones, are still restored.
int RegReadInt(const String& N, const String& V, int D, void* X) {
  try {
    return static_cast<RegData*>(X)->Reg->ReadInteger(N, V, D);
  } catch (const ERegistryException&) {
    return D;
  }
}
String RegReadString(const String& N, const String& V, const String& D, void* X) {
  try {
    return static_cast<RegData*>(X)->Reg->ReadString(N, V, D);
  } catch (const ERegistryException&) {
    return D;
  }
}

// A value that fails to save does not stop the others: each is tried, and
// the first failure is reported once the whole save has been tried.
void RegWrite(RegData* D, const String& N, const String& V, const String& Data) {
  try {
    D->Reg->WriteString(N, V, Data);
  } catch (const Exception& E) {
    if (!D->Failed) D->Error = E.Message();
    D->Failed = true;
  }
}
void RegWriteInt(const String& N, const String& V, int Data, void* X) {
  // Stored as decimal text, the format of the positions key.
  RegWrite(static_cast<RegData*>(X), N, V, std::to_wstring(Data));
}
void RegWriteString(const String& N, const String& V, const String& Data, void* X) {
  RegWrite(static_cast<RegData*>(X), N, V, Data);
}
}  // namespace

bool (*BarRegistryFailureSeam)(const String& KeyPath) = nullptr;

void BarRegSavePositions(TComponent* OwnerComponent, HKEY RootKey, const String& BaseRegistryKey) {
  if (BarRegistryFailureSeam && BarRegistryFailureSeam(BaseRegistryKey))
    throw ERegistryException(L"Failed to open the key " + BaseRegistryKey);
  auto reg = std::make_unique<TRegIniFile>(String());
  reg->SetRootKey(RootKey);
  if (!reg->OpenKey(BaseRegistryKey, true)) throw ERegistryException(L"Failed to open the key " + BaseRegistryKey);
  RegData d{reg.get()};
  BarCustomSavePositions(OwnerComponent, RegWriteInt, RegWriteString, &d);
  if (d.Failed)
    throw ERegistryException(L"The toolbar positions could not all be saved under " + BaseRegistryKey + L": " +
                             d.Error);
}

void BarRegLoadPositions(TComponent* OwnerComponent, HKEY RootKey, const String& BaseRegistryKey) {
  auto reg = std::make_unique<TRegIniFile>(String());
  reg->SetRootKey(RootKey);
  if (!reg->OpenKey(BaseRegistryKey, true)) return;
  RegData d{reg.get()};
  BarCustomLoadPositions(OwnerComponent, RegReadInt, RegReadString, &d);
}
