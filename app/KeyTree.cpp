// The registry key tree: "My Registry" over the six root keys, keys read
// when their node expands and dropped when it collapses, new keys, rename
// in place, refresh, the address box and opening the tree along a path.
#include "app/Main.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "app/RegAccess.h"
#include "app/RegEdits.h"
#include "app/WaitCursor.h"
#include "classlib/Registry.h"

namespace {

// The status after a refused or failed rename (it said "Renaming key..."
// while the rename ran).
const wchar_t* const KeyNotRenamed = L"Key not renamed.";

const wchar_t* const FindChildFailed =
    L"FindChild failed in ExpandToBranch.  This is a symptom that Zembrio has lost synchronization with the "
    L"Registry.  Please restart the program.";

// Takes the next component of a path (the backslashes before it dropped,
// so a doubled one separates like one, then everything up to the next
// backslash) and leaves the rest in Path.
String NextComponent(String& Path) {
  const size_t start = Path.find_first_not_of(L'\\');
  Path.erase(0, start == String::npos ? Path.size() : start);
  size_t p = Path.find(L'\\');
  String part = Path.substr(0, p);
  Path = p == String::npos ? String() : Path.substr(p);
  return part;
}

// A key of this many subkeys has their names read apart from the window's
// thread, which goes on painting (fewer are read in a tenth of a second).
constexpr int kReadApartFrom = 10000;

// The tree's change reports muted while it lives.
struct TChangeMute {
  TCustomTreeEx* Tree;
  TTVChangedEvent Saved;
  explicit TChangeMute(TCustomTreeEx* T) : Tree(T), Saved(T->OnChange) { T->OnChange = nullptr; }
  ~TChangeMute() { Tree->OnChange = Saved; }
};

}  // namespace

TTreeExNode* TfrmMain::GetSelectedNode() { return treeRegTree->GetSelection(); }

void TfrmMain::EndKeyEdit() {
  if (treeRegTree->HandleAllocated() && treeRegTree->IsEditing())
    SendMessageW(treeRegTree->GetHandle(), TVM_ENDEDITLABELNOW, FALSE, 0);
}

void TfrmMain::InitRegTree() {
  treeRegTree->Items()->Clear();
  TTreeExNode* top = treeRegTree->Items()->AddChild(nullptr, L"My Registry");
  top->SetImageIndex(0);
  top->SetSelectedIndex(0);
  top->SetChildren(true);
  top->Expand(false);
}

void TfrmMain::AddRootKeys(TTreeExNode* Top) {
  for (const TRootKeyEntry& e : RootKeyTable)
    AddKeyNode(Top, dmodCommon->GetRootKeyName(e.Root, rnmByOption), true, String(), e.Root);
}

TTreeExNode* TfrmMain::AddKeyNode(TTreeExNode* Parent, const String& Text, bool HasChildren, const String& Path,
                                  TRegRoot Root) {
  auto* data = new TNodeData{Root, Path};
  TTreeExNode* node = treeRegTree->Items()->AddChildObject(Parent, Text, data);
  node->SetImageIndex(1);
  node->SetSelectedIndex(2);
  // A new node starts without a button, natively too.
  if (HasChildren) node->SetChildren(true);
  return node;
}

namespace {

// The fixed part of what the native enumeration returns for a subkey in
// its "full information" class (the class name would follow it).
struct TSubKeyFullInfo {
  LARGE_INTEGER LastWriteTime;
  ULONG TitleIndex;
  ULONG ClassOffset;
  ULONG ClassLength;
  ULONG SubKeys;
  ULONG MaxNameLen;
  ULONG MaxClassLen;
  ULONG Values;
  ULONG MaxValueNameLen;
  ULONG MaxValueDataLen;
};

using TNtEnumerateKey = LONG(WINAPI*)(HANDLE, ULONG, int, void*, ULONG, ULONG*);

TNtEnumerateKey NtEnumerateKeyProc() {
  static const TNtEnumerateKey Proc = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<TNtEnumerateKey>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtEnumerateKey")))
                 : nullptr;
  }();
  return Proc;
}

// The subkey count of the parent's Index-th subkey, asked of the parent
// itself: one registry call, no handle on the child. False when the system
// can't answer that way (a predefined root handle, say). The answer is the
// key's own, which for a link key is the link's (no subkeys, the one value
// SymbolicLinkValue), not the key it leads to: LinkShaped tells a key that
// may be a link, to be asked through itself.
bool SubKeyCountAt(HKEY Parent, DWORD Index, DWORD& Count, bool& LinkShaped) {
  TNtEnumerateKey Enum = NtEnumerateKeyProc();
  if (!Enum) return false;
  alignas(8) unsigned char buf[sizeof(TSubKeyFullInfo) + 256];
  ULONG got = 0;
  const int KeyFullInformation = 2;
  const LONG BufferOverflow = static_cast<LONG>(0x80000005);  // only the class name did not fit
  LONG status = Enum(Parent, Index, KeyFullInformation, buf, sizeof buf, &got);
  if (status < 0 && status != BufferOverflow) return false;
  // The answer's length ends where the class name begins (44 bytes with no
  // class), short of the padded structure size.
  if (got < offsetof(TSubKeyFullInfo, MaxValueDataLen) + sizeof(ULONG)) return false;
  const auto* info = reinterpret_cast<const TSubKeyFullInfo*>(buf);
  Count = info->SubKeys;
  constexpr ULONG kLinkValueBytes = sizeof(L"SymbolicLinkValue") - sizeof(wchar_t);
  LinkShaped = info->SubKeys == 0 && info->Values == 1 && info->MaxValueNameLen == kLinkValueBytes;
  return true;
}

// The same answer through the child itself, opened read-only relative to
// the parent; false when it can't be opened.
bool SubKeyCountOf(HKEY Parent, const String& Name, DWORD& Count) {
  TRegKey child;
  TRegKeyInfo info;
  if (!child.OpenSub(TRegKey(Parent), Name, KEY_READ) || !child.QueryInfo(info)) return false;
  Count = DWORD(info.NumSubKeys);
  return true;
}

// The subkey counts of a key's subkeys by index, asked by helper threads
// while the window thread reads the names: each answer is one registry call
// that waits on the system far more than it computes, so for a large key
// the probes cost little more time than the names alone. Small keys are
// probed in line. A count that isn't known yet (the thread couldn't start,
// or the key grew meanwhile) is asked by the caller itself.
class TSubKeyProbe {
 public:
  TSubKeyProbe(HKEY Parent, DWORD Count) : parent_(Parent), counts_(Count, kUnknown) {
    if (Count < kThreadedFrom || !NtEnumerateKeyProc()) return;
    const size_t chunks = (Count + kChunk - 1) / kChunk;
    // The counts are all kept anyway: the threads may run to the end.
    runner_ = std::make_unique<TPartRunner>(chunks, [this](size_t c) { Probe(c); }, kThreads, false, chunks);
  }

  // True with the count when Index was answered (see SubKeyCountAt).
  bool CountAt(DWORD Index, DWORD& Count, bool& LinkShaped) {
    if (runner_ && Index < counts_.size()) runner_->WaitFor(Index / kChunk);
    if (Index < counts_.size() && counts_[Index] != kUnknown) {
      LinkShaped = counts_[Index] == kLinkShaped;
      Count = LinkShaped ? 0 : DWORD(counts_[Index]);
      return true;
    }
    return SubKeyCountAt(parent_, Index, Count, LinkShaped);
  }

 private:
  static constexpr DWORD kThreadedFrom = 256;
  static constexpr DWORD kChunk = 128;
  static constexpr unsigned kThreads = 3;

  static constexpr LONG kUnknown = -1;
  static constexpr LONG kLinkShaped = -2;

  void Probe(size_t Chunk) {
    const size_t to = std::min(counts_.size(), (Chunk + 1) * kChunk);
    for (size_t i = Chunk * kChunk; i < to; ++i) {
      DWORD n = 0;
      bool linkShaped = false;
      if (!SubKeyCountAt(parent_, DWORD(i), n, linkShaped)) break;
      counts_[i] = linkShaped ? kLinkShaped : n > 0x7FFFFFFF ? 0x7FFFFFFF : LONG(n);
    }
  }

  HKEY parent_;
  std::vector<LONG> counts_;  // each chunk written by one thread, read after its WaitFor
  std::unique_ptr<TPartRunner> runner_;
};

}  // namespace

bool TfrmMain::AddSubKeys(TTreeExNode* Node, TRegistry& Reg) {
  TWaitCursor wait;
  // With PreloadHasChildren each subkey's button is exact: its subkey count
  // comes from the parent's enumeration at the same index (a key changed
  // meanwhile costs at most a wrong button, as any later change does), or
  // else from the subkey opened relative to the parent.
  bool preload = dmodCommon->OptionBool(SettingName::PreloadHasChildren);
  HKEY parent = Reg.GetCurrentKey();
  TRegKeyInfo info;
  const bool counted = Reg.GetKeyInfo(info);
  std::unique_ptr<TSubKeyProbe> probe;
  if (preload && parent && counted) probe = std::make_unique<TSubKeyProbe>(parent, DWORD(info.NumSubKeys));
  // The names of many subkeys are read on another thread while the window
  // goes on painting (30,000 took over a second).
  std::vector<String> names;
  bool listed = false;
  auto readNames = [&] { listed = TRegKey(parent).ReadKeyNames(names); };
  if (counted && info.NumSubKeys >= kReadApartFrom)
    RunPainting(readNames);
  else
    readNames();
  if (!listed) {
    // Said as for a key whose values can't be read: no children is not
    // taken for a key without subkeys.
    const TKeyStatus about(this);
    dmodCommon->SetStatusText(L"Unable to read the subkeys of the key " +
                              dmodCommon->GetNodeRootKeyName(Node, rnmFull) + dmodCommon->GetNodeKeyPath(Node) + L".");
    return false;
  }
  TRegRoot root = dmodCommon->GetNodeRootKey(Node);
  String base = dmodCommon->GetNodeKeyPath(Node);
  bool byIndex = true;
  // A node being added is never the selected one: its change notice would
  // only ask the control for the selection, once per subkey.
  TChangeMute mute(treeRegTree);
  treeRegTree->Items()->BeginUpdate();
  try {
    for (size_t i = 0; i < names.size(); ++i) {
      const String& name = names[i];
      bool button = true;
      if (preload && parent) {
        DWORD subkeys = 0;
        bool linkShaped = false;
        if (byIndex && (probe ? probe->CountAt(DWORD(i), subkeys, linkShaped)
                              : SubKeyCountAt(parent, DWORD(i), subkeys, linkShaped))) {
          // A link shows the button of the key it leads to (none when it
          // can't be opened).
          if (linkShaped) SubKeyCountOf(parent, name, subkeys);
          button = subkeys > 0;
        } else {
          byIndex = false;
          if (SubKeyCountOf(parent, name, subkeys)) button = subkeys > 0;
        }
      }
      AddKeyNode(Node, name, button, base + L"\\" + name, root);
    }
    Node->AlphaSort();
  } catch (...) {
    // The tree redraws again whatever failed.
    treeRegTree->Items()->EndUpdate();
    throw;
  }
  treeRegTree->Items()->EndUpdate();
  return true;
}

void TfrmMain::treeRegTreeExpanding(TObject*, TTreeExNode* Node, bool& AllowExpansion) {
  try {
    TWaitCursor wait;
    AllowExpansion = false;
    Node->SetChildren(false);
    if (ExpansionGuard) {
      AllowExpansion = true;
      Node->SetChildren(true);
      return;
    }
    if (dmodCommon->IsRootNode(Node)) {
      Node->SetChildren(true);
      AllowExpansion = true;
      if (Node->GetCount() == 0) AddRootKeys(Node);
      return;
    }
    if (Node->GetExpanded()) {
      Node->SetChildren(true);
      return;
    }
    if (!dmodCommon->NodeHasData(Node)) return;
    const TRegRoot root = dmodCommon->GetNodeRootKey(Node);
    const String path = dmodCommon->GetNodeKeyPath(Node);
    TRegistry reg(KEY_READ);
    reg.SetRootKey(RootHandle(root));
    String above;
    if (reg.OpenKeyReadOnly(path) && reg.HasSubKeys()) {
      if (RegKeyRepeatsAbove(root, path, TRegKey(reg.GetCurrentKey()), &above)) {
        // A link back to a key above it stays closed: its subkeys would
        // hold it again, and a branch expanded whole (numpad *) would never
        // end.
        const String rootName = dmodCommon->GetNodeRootKeyName(Node, rnmFull);
        dmodCommon->SetStatusText(L"The key " + rootName + path + L" is not expanded: it is a link back to the key " +
                                  rootName + (above.empty() ? String() : L"\\" + above) + L" above it.");
      } else {
        // Subkeys that can't be listed leave the key closed, its button
        // there for another try.
        AllowExpansion = Node->GetCount() > 0 || AddSubKeys(Node, reg);
      }
      Node->SetChildren(true);
    }
    reg.CloseKey();
  } catch (...) {
    HandleCallbackException(this);
  }
}

void TfrmMain::treeRegTreeCollapsed(TObject*, TTreeExNode* Node) {
  TWaitCursor wait;
  // A selected key below the collapsed one goes with its children: the
  // selection moves to the collapsed key first, which lists its values (the
  // tree was left with no selection while the list and the address box
  // showed the key gone from it; and the system's tree read freed memory
  // when an item still open lost its selected descendant).
  TTreeExNode* selected = treeRegTree->GetSelection();
  for (TTreeExNode* p = selected ? selected->GetParent() : nullptr; p; p = p->GetParent())
    if (p == Node) {
      treeRegTree->SetSelection(Node);
      break;
    }
  Node->DeleteChildren();
  Node->SetChildren(true);
}

void TfrmMain::treeRegTreeChange(TObject*, TTreeExNode* Node) {
  if (!Node || Node != treeRegTree->GetSelection()) return;
  ++SelectionListings;
  // What was said of another key, or of a value of it, is not said of
  // this one.
  DropOtherKeysStatus(Node);
  LoadValues(Node);
  UpdatePathText(Node);
}

void TfrmMain::treeRegTreeDeletion(TObject*, TTreeExNode* Node) {
  delete NodeData(Node);
  Node->SetData(nullptr);
}

void TfrmMain::UpdatePathText(TTreeExNode* Node) {
  if (!dmodCommon->NodeHasData(Node)) return;
  txtPath->SetText(dmodCommon->GetNodeRootKeyName(Node, rnmFull) + dmodCommon->GetNodeKeyPath(Node));
}

TTreeExNode* TfrmMain::FindChild(TTreeExNode* Parent, const String& Text) {
  for (TTreeExNode* c = Parent->GetFirstChild(); c; c = c->GetNextSibling())
    if (c->GetText() == Text) return c;
  return nullptr;
}

namespace {
// A child whose name equals the text without regard to case (the
// registry's own rule for key names); one spelt exactly so comes first.
TTreeExNode* FindChildNoCase(TTreeExNode* Parent, const String& Text) {
  TTreeExNode* found = nullptr;
  for (TTreeExNode* c = Parent->GetFirstChild(); c; c = c->GetNextSibling()) {
    const String& name = c->GetText();
    if (name == Text) return c;
    if (!found && SameKeyName(name, Text)) found = c;
  }
  return found;
}
// True when the key Path below Root is there: it opens, or it is a link
// to a key that is not there (its parent lists it; opened, it reaches
// nothing), which is a key that can't be read, not one that is missing.
bool KeyIsThere(TRegistry& Reg, TRegRoot Root, const String& Path) {
  return Reg.KeyExists(Path) || RegDanglingLink(RootHandle(Root), ApiKeyPath(Path));
}
// Reads the node's subkeys again: collapsed with everything below it (the
// collapse moves a selection below it to the node), then expanded.
void ReadLevelAgain(TTreeExNode* Node) {
  Node->Collapse(true);
  Node->Expand(false);
}
}  // namespace

TTreeExNode* TfrmMain::ExpandToBranch(TRegRoot Root, const String& Path, bool Report, bool* Reached) {
  // Opening the tree along a path reads each level and lists the values of
  // the key reached: the hourglass from the start.
  TWaitCursor wait;
  if (Reached) *Reached = false;
  TRegistry reg(KEY_READ);
  if (Root != RegRoot::None) reg.SetRootKey(RootHandle(Root));
  TTreeExNode* top = treeRegTree->Items()->GetFirstNode();
  if (!top) return nullptr;
  if (!top->GetExpanded()) top->Expand(false);
  TTreeExNode* current = FindChild(top, dmodCommon->GetRootKeyName(Root, rnmByOption));
  if (!current || Root == RegRoot::None) {
    dmodCommon->ShowErrorText(FindChildFailed);
    return nullptr;
  }
  String rest = Path;
  String part = NextComponent(rest);
  bool reached = true;
  while (!part.empty()) {
    if (!current->GetExpanded()) current->Expand(false);
    // Key names compare without regard to case, as the registry does.
    TTreeExNode* child = FindChildNoCase(current, part);
    if (child && !KeyIsThere(reg, Root, dmodCommon->GetNodeKeyPath(child))) {
      // The key went (another program deleted it) since this level was
      // read: the level is read again, and the key is not there to open.
      ReadLevelAgain(current);
      child = FindChildNoCase(current, part);
    }
    if (!child && KeyIsThere(reg, Root, Path)) {
      ReadLevelAgain(current);
      child = FindChildNoCase(current, part);
      if (!child) {
        dmodCommon->ShowErrorText(String(FindChildFailed) + L"\n\nKey: " + part);
        reached = false;
        break;
      }
    }
    if (!child) {
      reached = false;
      if (Report)
        dmodCommon->ShowMessageText(L"The requested key does not exist:\n\n" +
                                    dmodCommon->GetRootKeyName(Root, rnmByOption) + Path);
      break;
    }
    current = child;
    part = NextComponent(rest);
  }
  const unsigned listings = SelectionListings;
  treeRegTree->SetSelection(current);
  if (SelectionListings != listings) {
    // Selecting it listed its values: marking it selected lists them again
    // (a key of thousands of values took twice as long to open).
    TChangeMute mute(treeRegTree);
    current->SetSelected(true);
  } else {
    current->SetSelected(true);
  }
  ShowNode(current);
  if ((reached || !Report) && treeRegTree->CanFocus()) treeRegTree->SetFocus();
  UpdatePathText(current);
  if (Reached) *Reached = reached;
  return current;
}

void TfrmMain::ShowNode(TTreeExNode* Node) {
  Node->MakeVisible();
  // The system also scrolls a name that is wider than the pane to its end,
  // which hides the buttons and pictures of every key: the pane goes back
  // to its left edge whenever the key's name still starts inside it.
  if (!treeRegTree->HandleAllocated()) return;
  const HWND h = treeRegTree->GetHandle();
  if (GetScrollPos(h, SB_HORZ) == 0) return;
  SendMessageW(h, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
  if (Node->DisplayRect(true).left >= treeRegTree->GetClientWidth()) Node->MakeVisible();
}

void TfrmMain::NewKey() {
  const TKeyStatus about(this);
  try {
    TTreeExNode* node = GetSelectedNode();
    if (!dmodCommon->NodeHasData(node)) return;
    TRegRoot root = dmodCommon->GetNodeRootKey(node);
    String path = dmodCommon->GetNodeKeyPath(node);
    if (!node->GetExpanded()) node->Expand(false);
    String name = RegEdits::NewKey(root, path);
    bool hadButton = node->GetChildren();
    TTreeExNode* child = AddKeyNode(node, name, false, path + L"\\" + name, root);
    if (!hadButton || !node->GetExpanded()) {
      ExpansionGuard = true;
      node->Expand(false);
      ExpansionGuard = false;
    }
    treeRegTree->SetSelection(child);
    ShowNode(child);
    KeyEditRequested = true;
    child->EditText();
    KeyEditRequested = false;
    dmodCommon->SetStatusText(L"New key successfully added: " + name);
  } catch (const ERegEditFailed& E) {
    dmodCommon->SetStatusText(L"New key not added.");
    dmodCommon->ShowErrorText(E.Message());
  } catch (const Exception& E) {
    ExpansionGuard = false;
    KeyEditRequested = false;
    dmodCommon->SetStatusText(L"New key not added.");
    dmodCommon->ShowException(E, L"An exception occurred attempting to create a new registry key.");
  }
}

void TfrmMain::treeRegTreeEditing(TObject*, TTreeExNode* Node, bool& AllowEdit) {
  // A click on the selected key starts the edit of its name a moment
  // later; by then a dialog (Find, say) may have taken the focus, and an
  // edit box started behind it could never get the focus, nor end.
  AllowEdit = Node && Node->GetLevel() > 1 &&
              (KeyEditRequested || (treeRegTree->HandleAllocated() && GetFocus() == treeRegTree->GetHandle()));
  // A rename is a command of its own: an earlier rename's success does not
  // stand for one ended with the name unchanged, or with Escape.
  if (AllowEdit) SetStatusText(String());
  // The name box (made before this question) takes one character more
  // than the registry does: a huge paste can't flood it, and a name too
  // long is refused on its end, never stored cut short.
  if (AllowEdit && treeRegTree->HandleAllocated())
    if (HWND edit = HWND(SendMessageW(treeRegTree->GetHandle(), TVM_GETEDITCONTROL, 0, 0)))
      SendMessageW(edit, EM_SETLIMITTEXT, MaxKeyNameLength + 1, 0);
}

void TfrmMain::treeRegTreeEdited(TObject*, TTreeExNode* Node, String& S) {
  const TKeyStatus about(this);
  // A key name can't be empty or hold a backslash (it would name a path).
  if (!IsValidKeyName(S)) {
    dmodCommon->SetStatusText(KeyNotRenamed);
    dmodCommon->ShowMessageText(AppText::InvalidKeyName);
    S = Node->GetText();
    return;
  }
  if (S == Node->GetText()) return;
  if (S.size() > MaxKeyNameLength) {
    dmodCommon->SetStatusText(KeyNotRenamed);
    dmodCommon->ShowMessageText(L"A key name can have at most 255 characters.");
    S = Node->GetText();
    return;
  }
  TTreeExNode* parent = Node->GetParent();
  String newPath = dmodCommon->GetNodeKeyPath(parent) + L"\\" + S;
  if (RenameKey(Node, newPath))
    dmodCommon->SetStatusText(L"Key successfully renamed.");
  else
    S = Node->GetText();
}

bool TfrmMain::RenameKey(TTreeExNode* Node, const String& NewPath) {
  const TKeyStatus about(this);
  try {
    const TRegRoot root = dmodCommon->GetNodeRootKey(Node);
    const String oldPath = dmodCommon->GetNodeKeyPath(Node);
    // The key as other root keys show it (below HKEY_USERS\<SID> for a key
    // of HKEY_CURRENT_USER) is gone there too after the move.
    const String identity = RegKeyIdentity(root, oldPath);
    // A large branch takes a while to copy: the window goes on painting.
    dmodCommon->Logic.RenameKeyBranch(root, oldPath, NewPath);
    DropKeyNodes(root, oldPath, identity, false, Node);
    NodeData(Node)->Path = NewPath;
    {
      TWaitCursor wait;
      Node->DeleteChildren();
      Node->Collapse(false);
      // The button says whether the key has subkeys, as a listed key's does
      // (a key that can't be read keeps it).
      TRegistry reg(KEY_READ);
      reg.SetRootKey(RootHandle(dmodCommon->GetNodeRootKey(Node)));
      Node->SetChildren(!reg.OpenKeyReadOnly(dmodCommon->GetNodeKeyPath(Node)) || reg.HasSubKeys());
    }
    // The address box shows the selected key by its new name.
    if (Node == treeRegTree->GetSelection()) UpdatePathText(Node);
    dmodCommon->SetStatusText(L"Key successfully renamed.");
    return true;
  } catch (const ERegEditRefused& E) {
    dmodCommon->SetStatusText(KeyNotRenamed);
    dmodCommon->ShowMessageText(E.Message());
  } catch (const ERegEditFailed& E) {
    dmodCommon->SetStatusText(KeyNotRenamed);
    dmodCommon->ShowErrorText(E.Message());
  } catch (const Exception& E) {
    dmodCommon->SetStatusText(KeyNotRenamed);
    dmodCommon->ShowException(E, L"An exception occurred attemping to rename the registry key.");
  }
  // The registry was not changed as asked: the node keeps its name.
  return false;
}

void TfrmMain::RefreshTree() {
  // The tree is built again and the selected key's values listed anew (an
  // import refreshes so too): the hourglass from the start.
  TWaitCursor wait;
  // A key being renamed is read again by its new name (the rebuilt tree
  // would end the edit with its node gone).
  EndKeyEdit();
  SetStatusText(L"Refreshing...");
  TTreeExNode* node = GetSelectedNode();
  if (dmodCommon->NodeHasData(node)) {
    TRegRoot root = dmodCommon->GetNodeRootKey(node);
    String path = dmodCommon->GetNodeKeyPath(node);
    bool expanded = node->GetExpanded();
    // The values chosen stay chosen where they are still there, and a list
    // that had the keyboard keeps it (the tree takes it to show the key).
    const TValuesChoice chosen = ChosenValues();
    TWinControl* active = GetActiveControl();
    const bool listActive = active == lvKeyValues || active == lvBookmarks || active == lvFindResults;
    InitRegTree();
    bool same = false;
    TTreeExNode* reached = ExpandToBranch(root, path, false, &same);
    if (reached && expanded) reached->Expand(false);
    if (same) ChooseValues(chosen);
    if (listActive && active->CanFocus()) active->SetFocus();
  } else {
    InitRegTree();
  }
  SetStatusText(L"Refresh complete.");
}

void TfrmMain::treeRegTreeMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  if (Button != mbRight) return;
  treeRegTree->SetSelection(treeRegTree->GetNodeAt(X, Y));
}

void TfrmMain::treeRegTreeKeyDown(TObject*, WORD& Key, TShiftState Shift) {
  if (Key == VK_DELETE && !treeRegTree->IsEditing()) DeleteSelected(treeRegTree);
  // Shift+F10 asks for the context menu as the Apps key does.
  if (Key == VK_F10 && Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt) &&
      !treeRegTree->IsEditing()) {
    Key = 0;
    treeRegTree->Perform(WM_CONTEXTMENU, WPARAM(treeRegTree->GetHandle()), LPARAM(-1));
  }
}

void TfrmMain::treeRegTreeContextPopup(TObject*, TPoint MousePos, bool& Handled) {
  // From the keyboard the menu opens below the selected key (the pointer's
  // place has nothing to do with it).
  if (MousePos.x != -1 || MousePos.y != -1) return;
  TPoint at = Point(0, 0);
  if (TTreeExNode* n = treeRegTree->GetSelection()) {
    n->MakeVisible();
    const TRect r = n->DisplayRect(true);
    at = Point(r.left + 4, r.bottom);
  }
  at = treeRegTree->ClientToScreen(at);
  pmnuTree->SetPopupComponent(treeRegTree);
  pmnuTree->Popup(at.x, at.y);
  Handled = true;
}
