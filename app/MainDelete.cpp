// Deleting keys, values, bookmarks and find results (with the key or value
// each names), and opening a find result in the tree.
#include "app/Main.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/RegAccess.h"
#include "app/RegEdits.h"
#include "app/WaitCursor.h"

// One delete command of find results: what it deleted, by the names the
// system knows the keys by (one name for all aliases of a key: a search of
// the whole registry finds a key below HKEY_CURRENT_USER and again below
// HKEY_USERS), and the results it found gone without having taken them.
struct TFindDeleteRun {
  std::set<String> Keys;                       // keys deleted, with all below them
  std::set<String> Partly;                     // keys whose deletion failed part way
  std::set<std::pair<String, String>> Values;  // key and folded name of each value deleted
  std::vector<String> Gone;                    // the list texts of results gone otherwise
  String GoneMessage;                          // the ordinary message of the first of them

  String Identity(TRegRoot Root, const String& Path) {
    String& id = identities_[{Root, KeyNameFold(ApiKeyPath(Path))}];
    if (id.empty()) id = RegKeyIdentity(Root, Path);
    return id;
  }
  // True when a deletion of this command took what the result names: its
  // key or a key above it, or its value.
  bool Took(const TSearchHit& Hit) {
    if (Keys.empty() && Values.empty()) return false;
    const String key = Identity(Hit.RootKey, Hit.Path);
    return KeyTaken(key, Keys) || (Hit.Kind != hkKeyName && Values.count({key, KeyNameFold(Hit.ValueName)}) != 0);
  }
  // True when the result is below a key whose deletion failed part way:
  // what is gone there may have gone with it or by another program, so it
  // is neither counted as deleted nor named as gone otherwise.
  bool BelowPartly(const TSearchHit& Hit) {
    return !Partly.empty() && KeyTaken(Identity(Hit.RootKey, Hit.Path), Partly);
  }
  // True when a value of the key was deleted, or the key with one above it.
  bool Changed(TRegRoot Root, const String& Path) {
    if (Keys.empty() && Values.empty() && Partly.empty()) return false;
    const String key = Identity(Root, Path);
    auto value = Values.lower_bound({key, String()});
    return KeyTaken(key, Keys) || KeyTaken(key, Partly) || (value != Values.end() && value->first == key);
  }
  // The key of value results, opened for deleting values once for all of
  // its results; none when it can't be (a result then goes its own way,
  // which says why). The results of one key come together: only the last
  // key is held open (one for each key held 100,000 handles for 100,000
  // keys).
  TRegKey* ValueKey(TRegRoot Root, const String& Path) {
    const String path = ApiKeyPath(Path);
    if (valueKey_ && valueKeyRoot_ == Root && valueKeyPath_ == path) return valueKey_.get();
    valueKey_.reset();
    auto opened = std::make_unique<TRegKey>();
    if (!opened->Open(Root, path, KEY_QUERY_VALUE | KEY_SET_VALUE)) return nullptr;
    valueKey_ = std::move(opened);
    valueKeyRoot_ = Root;
    valueKeyPath_ = path;
    return valueKey_.get();
  }
  // A key went: the key held open may have gone with it.
  void KeyDeleted() { valueKey_.reset(); }

 private:
  // The key is one of Taken, or below one.
  static bool KeyTaken(const String& Key, const std::set<String>& Taken) {
    if (Taken.empty()) return false;
    for (size_t at = 0; at != String::npos;) {
      at = Key.find(L'\\', at + 1);
      if (Taken.count(Key.substr(0, at))) return true;  // the key itself last
    }
    return false;
  }
  std::map<std::pair<TRegRoot, String>, String> identities_;
  std::unique_ptr<TRegKey> valueKey_;
  TRegRoot valueKeyRoot_{};
  String valueKeyPath_;
};

// A delete command of many rows of a list (values, bookmarks, find
// results). Once "Yes to All" is given, the rows deleted leave the list
// together at the end (each row taken out alone made the window move every
// row below it and report it: 10,000 values took over a minute), the
// values' key stays open for every value and the window goes on painting,
// the status showing the share done and the Stop button (or Escape)
// stopping the command before its next row.
struct TListDeleteRun {
  bool Batch = false;
  bool Stopped = false;
  std::vector<TListItem*> Removed;
  std::unique_ptr<TRegistry> ValuesKey;
  bool StopShown = false;  // the Stop button is up (with the first share written)
  TPaintPump Paint;
  ULONGLONG Shown = 0;    // when the share done was last written (or the batch began)
  ULONGLONG Checked = 0;  // when Stop and Escape were last looked for
};

namespace {

// Results found gone, other than by the command itself, are named in one
// message at its end: this many by name, then the count of the rest.
constexpr size_t kGoneNamed = 10;

// The share done is written at most this often (first once the batch took
// this long: a short one shows neither it nor the Stop button); Stop and
// Escape are looked for this often, whatever else the rows paint meanwhile.
constexpr ULONGLONG kProgressEveryMs = 300;
constexpr ULONGLONG kStopEveryMs = 40;

// Between rows of a batch: the input waiting is dropped (no other command
// starts meanwhile) but for Escape, which stops the batch (true), and what
// the Stop button is given, whose click stops it too.
bool StopInput(HWND Stop) {
  static const UINT ranges[][2] = {
      {WM_KEYFIRST, WM_KEYLAST}, {WM_MOUSEFIRST, WM_MOUSELAST}, {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
  bool stop = false;
  MSG m;
  for (const auto& range : ranges)
    while (PeekMessageW(&m, nullptr, range[0], range[1], PM_REMOVE)) {
      switch (StopButtonInput(m, Stop)) {
        case TStopInput::Stop: stop = true; break;
        case TStopInput::ToButton: DispatchMessageW(&m); break;
        default: break;
      }
    }
  return stop;
}

// The key text of the confirmation: each backslash written as " \ ".
String SpacedPath(const String& Path) {
  String out;
  for (wchar_t c : Path) {
    if (c == L'\\')
      out += L" \\ ";
    else
      out += c;
  }
  return out;
}

// The tree's node of the key when the tree has read it so far, else none.
TTreeExNode* LoadedNode(TCustomTreeEx* Tree, TRegRoot Root, const String& Path) {
  TTreeExNode* top = Tree->Items()->GetFirstNode();
  if (!top) return nullptr;
  const String rootName = dmodCommon->GetRootKeyName(Root, rnmByOption);
  TTreeExNode* node = nullptr;
  for (TTreeExNode* c = top->GetFirstChild(); c; c = c->GetNextSibling())
    if (c->GetText() == rootName) node = c;
  const String rest = ApiKeyPath(Path);
  size_t at = 0;
  while (node && at < rest.size()) {
    size_t end = rest.find(L'\\', at);
    if (end == String::npos) end = rest.size();
    const String part = rest.substr(at, end - at);
    at = end + 1;
    TTreeExNode* child = nullptr;
    for (TTreeExNode* c = node->GetFirstChild(); c && !child; c = c->GetNextSibling())
      if (SameKeyName(c->GetText(), part)) child = c;
    node = child;
  }
  return node;
}

// False only when the key is gone (one that can't be read is still there).
bool KeyStillThere(TRegRoot Root, const String& Path) {
  TRegKey key;
  return key.OpenReadOnly(Root, ApiKeyPath(Path)) || key.LastError() != ERROR_FILE_NOT_FOUND;
}

// True when the key holds subkeys (or can't be read: its deletion may take
// a while).
bool HasSubkeys(TRegRoot Root, const String& Path) {
  TRegKey key;
  TRegKeyInfo info;
  return !key.OpenReadOnly(Root, ApiKeyPath(Path)) || !key.QueryInfo(info) || info.NumSubKeys != 0;
}

bool ValueIsSet(TRegRoot Root, const String& Path, const String& Name) {
  TRegKey key;
  return key.OpenReadOnly(Root, ApiKeyPath(Path)) && key.ValueExists(Name);
}

// True only when the key is there and the value is not (a key that can't be
// read may still hold it).
bool ValueGone(TRegRoot Root, const String& Path, const String& Name) {
  TRegKey key;
  return key.OpenReadOnly(Root, ApiKeyPath(Path)) && !key.ValueExists(Name);
}

String ValueGoneMessage(const String& KeyName, const String& ValueName) {
  return L"Unable to find the value to delete.  The value may have been deleted or renamed by another process or "
         L"application.\n\nKey: " +
         KeyName + L"\nValue: " + ValueName;
}

// A find result's key named in full, as the messages about it name it.
String HitKeyName(const TSearchHit& Hit) {
  String path = Hit.Path;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return dmodCommon->GetRootKeyName(Hit.RootKey, rnmByOption) + path;
}

// What a find result names that has gone since the search (deleted or
// renamed by another program, or with a result deleted before it): the
// message that says so, or empty while it is there.
String FindResultGone(const TSearchHit& Hit) {
  const wchar_t* const tail = L" may have been deleted or renamed by another process or application.\n\nKey: ";
  if (ApiKeyPath(Hit.Path).empty()) return String();  // a root key is always there (and refused)
  if (!KeyStillThere(Hit.RootKey, Hit.Path))
    return (Hit.Kind == hkKeyName ? String(L"Unable to find the key to delete.  The key")
                                  : String(L"Unable to find key for the value to delete.  The key value")) +
           tail + HitKeyName(Hit);
  if (Hit.Kind != hkKeyName && ValueGone(Hit.RootKey, Hit.Path, Hit.ValueName))
    return ValueGoneMessage(HitKeyName(Hit), Hit.ValueName);
  return String();
}

}  // namespace

void TfrmMain::DropKeyNodes(TRegRoot Root, const String& Path, const String& Identity, bool Collapse,
                            TTreeExNode* Except, const std::function<String(TRegRoot)>& RootIdentity) {
  std::vector<std::pair<TRegRoot, String>> places{{Root, ApiKeyPath(Path)}};
  if (TTreeExNode* top = treeRegTree->Items()->GetFirstNode())
    for (TTreeExNode* c = top->GetFirstChild(); c && !Identity.empty(); c = c->GetNextSibling()) {
      const TNodeData* data = NodeData(c);
      if (!data) continue;
      const String own = RootIdentity ? RootIdentity(data->Root) : RegKeyIdentity(data->Root, String());
      if (!own.empty() && Identity.size() > own.size() + 1 && Identity.compare(0, own.size(), own) == 0 &&
          Identity[own.size()] == L'\\')
        places.push_back({data->Root, Identity.substr(own.size() + 1)});
    }
  for (const auto& [root, path] : places) {
    TTreeExNode* node = LoadedNode(treeRegTree, root, path);
    if (!node || node == Except || node->GetLevel() <= 1) continue;
    if (Collapse) {
      if (node->GetExpanded()) node->Collapse(true);
      continue;
    }
    bool onSelectedPath = false;
    for (TTreeExNode* n = GetSelectedNode(); n && !onSelectedPath; n = n->GetParent()) onSelectedPath = n == node;
    if (!onSelectedPath) node->Delete();
  }
}

void TfrmMain::DeleteSelected(TWinControl* Control) {
  String name = Control ? Control->GetName() : String();
  if (name == L"treeRegTree") {
    if (TTreeExNode* node = SelectedKeyNode()) DeleteKey(node);
  } else if (name == L"lvKeyValues") {
    const TKeyStatus about(this);
    DeleteListItems(lvKeyValues, L"value", L"Values deleted: ", L"Deleting values", L"Value delete aborted.",
                    &TfrmMain::DeleteValue, &TfrmMain::ItemCaption);
  } else if (name == L"lvBookmarks") {
    DeleteListItems(lvBookmarks, L"bookmark", L"Bookmarks deleted: ", L"Deleting bookmarks",
                    L"Bookmark delete aborted.", &TfrmMain::DeleteBookmark, &TfrmMain::ItemCaption);
  } else if (name == L"lvFindResults") {
    if (!lvFindResults->GetSelected()) return;
    TFindDeleteRun run;
    findDeleteRun_ = &run;
    struct TEnd {
      TFindDeleteRun*& Run;
      ~TEnd() { Run = nullptr; }
    } end{findDeleteRun_};
    DeleteListItems(lvFindResults, L"find result (key or value)", L"Find results deleted: ",
                    L"Deleting find results", L"Find result delete aborted.", &TfrmMain::DeleteFindResult, &TfrmMain::GetFindResultText,
                    &TfrmMain::DropTakenFindResult);
    treeRegTree->Invalidate();
    // Keys and values removed through find results leave the view too (keys
    // elsewhere in the tree left it with their results). The key shown is
    // listed again only when it lost a value, once for the whole command:
    // a key of 230,000 values takes seconds to list.
    TTreeExNode* node = GetSelectedNode();
    if (dmodCommon->NodeHasData(node)) {
      TRegRoot root = dmodCommon->GetNodeRootKey(node);
      String path = dmodCommon->GetNodeKeyPath(node);
      if (!KeyStillThere(root, path)) {
        // It went with a result, itself or with a key above it: the tree
        // moves to the nearest key left and lists that (listing the key
        // gone would report it unreadable).
        const bool listFocused = lvFindResults->Focused();
        ExpandToBranch(root, path, false);
        // The tree took the focus to show the key; the next key pressed is
        // still meant for the results (a Delete there must not reach it).
        if (listFocused && lvFindResults->CanFocus()) lvFindResults->SetFocus();
      } else if (run.Changed(root, path)) {
        LoadValues(node);
      }
    }
    // Results gone behind the program's back: one alone gets its own
    // message, more are named together.
    if (run.Gone.size() == 1) {
      dmodCommon->ShowMessageText(run.GoneMessage);
    } else if (run.Gone.size() > 1) {
      String text = L"Unable to find the keys or values of " + IntToStr(int(run.Gone.size())) +
                    L" find results to delete.  They may have been deleted or renamed by another process or "
                    L"application.\n";
      for (size_t i = 0; i < run.Gone.size() && i < kGoneNamed; ++i) text += L"\n" + run.Gone[i];
      if (run.Gone.size() > kGoneNamed) text += L"\n... and " + IntToStr(int(run.Gone.size() - kGoneNamed)) + L" more.";
      dmodCommon->ShowMessageText(text);
    }
  }
}

void TfrmMain::DeleteListItems(TListViewQ* List, const String& Kind, const String& Status, const String& Doing,
                               const String& Aborted,
                               bool (TfrmMain::*Delete)(TListItem*), String (TfrmMain::*Text)(TListItem*),
                               bool (TfrmMain::*Taken)(TListItem*)) {
  TListItem* current = List->GetSelected();
  // One delete of rows at a time: one asked for from inside another (a
  // window its question leaves enabled) waits for the first to end.
  if (!current || listItemsGone_) return;
  // Gathering and naming the rows chosen takes a while when they are many
  // (every one of 230,000): the hourglass from the key on, for the whole
  // command (a question shows with the ordinary pointer).
  TWaitCursor busy;
  // The list may change while the user is asked (a search still running
  // adds its hits, and sorts them all at its end): the rows chosen are
  // gone through as they were chosen, each once, and a row that left the
  // list meanwhile is passed over.
  std::unordered_set<TListItem*> gone;
  listItemsGone_ = &gone;
  struct TUnwatch {
    std::unordered_set<TListItem*>*& Gone;
    ~TUnwatch() { Gone = nullptr; }
  } unwatch{listItemsGone_};
  if (List->GetSelCount() == 1) {
    // Refused, nothing is deleted: an earlier delete's success does not
    // stand for it.
    if (!dmodCommon->ConfirmDelete(Kind, (this->*Text)(current)) || gone.count(current))
      dmodCommon->SetStatusText(Aborted);
    else
      (this->*Delete)(current);
    return;
  }
  int answer = mrNo;
  int count = 0;
  TListDeleteRun run;
  listDeleteRun_ = &run;
  // The rows deleted past "Yes to All" leave together (those still there),
  // also when the command ends by an exception.
  auto dropRemoved = [&run, &gone, List] {
    std::vector<TListItem*> removed;
    removed.swap(run.Removed);
    if (!gone.empty())
      removed.erase(std::remove_if(removed.begin(), removed.end(),
                                   [&gone](TListItem* Item) { return gone.count(Item) != 0; }),
                    removed.end());
    if (!removed.empty()) List->DeleteItems(removed);
  };
  // Once asked no more, the list is redrawn only at the end.
  struct TEnd {
    TfrmMain* Form;
    const std::function<void()>& DropRemoved;
    TListItems* Items = nullptr;
    ~TEnd() {
      try {
        DropRemoved();
      } catch (...) {
      }
      if (Form->listDeleteRun_->StopShown) Form->LongWorkState(false);
      Form->listDeleteRun_ = nullptr;
      if (Items) Items->EndUpdate();
    }
  };
  const std::function<void()> drop = dropRemoved;
  TEnd end{this, drop};
  // The rows chosen, walked once by row (a walk item by item looks up each
  // item's row: quadratic in the rows).
  std::vector<TListItem*> chosen;
  {
    const std::vector<int> rows = List->GetSelectedRows();
    chosen.reserve(rows.size());
    TListItems* items = List->Items();
    for (int row : rows) chosen.push_back(items->GetItem(row));
  }
  for (size_t at = 0; at < chosen.size() && !run.Stopped; ++at) {
    TListItem* item = chosen[at];
    if (answer == mrCancel) break;
    if (!gone.empty() && gone.count(item)) continue;
    // What a Yes given before took already is not asked about again.
    if (answer != mrYesToAll && Taken && (this->*Taken)(item)) {
      ++count;
      continue;
    }
    if (!gone.empty() && gone.count(item)) continue;  // dropped just now, uncounted
    if (answer != mrYesToAll) answer = dmodCommon->ConfirmDeleteEach(Kind, (this->*Text)(item));
    if (answer == mrCancel) break;
    if (answer == mrYesToAll && !run.Batch) {
      run.Batch = true;
      end.Items = List->Items();
      end.Items->BeginUpdate();
      run.Shown = run.Checked = GetTickCount64();
    }
    if ((answer == mrYes || answer == mrYesToAll) && (this->*Delete)(item)) ++count;
    if (run.Batch) {
      // The share done and Stop on a clock of their own: the rows may have
      // painted the window just now (a key's subkeys do).
      run.Paint.Poll();
      const ULONGLONG now = GetTickCount64();
      if (now - run.Checked >= kStopEveryMs) {
        run.Checked = now;
        if (now - run.Shown >= kProgressEveryMs) {
          run.Shown = now;
          if (!run.StopShown) {
            run.StopShown = true;
            LongWorkState(true);
          }
          dmodCommon->SetStatusText(Doing + L"... " + IntToStr(int((at + 1) * 100 / chosen.size())) + L"%");
        }
        if (StopInput(btnStop->HandleAllocated() ? btnStop->GetHandle() : nullptr)) run.Stopped = true;
      }
    }
  }
  dropRemoved();
  listItemsGone_ = nullptr;
  dmodCommon->SetStatusText(Status + IntToStr(count));
}

void TfrmMain::StopListDelete() {
  if (listDeleteRun_ && listDeleteRun_->Batch) listDeleteRun_->Stopped = true;
}

void TfrmMain::ListItemGone(TListItem* Item) {
  if (listItemsGone_) listItemsGone_->insert(Item);
}

void TfrmMain::RemoveListItem(TListItem* Item) {
  if (listDeleteRun_ && listDeleteRun_->Batch)
    listDeleteRun_->Removed.push_back(Item);
  else
    Item->Delete();
}

void TfrmMain::DeleteKey(TTreeExNode* Node) {
  const TKeyStatus about(this);
  TRegRoot root = dmodCommon->GetNodeRootKey(Node);
  String path = dmodCommon->GetNodeKeyPath(Node);
  // A root key (or anything that names no key below one) is never deleted.
  if (Node->GetLevel() <= 1 || ApiKeyPath(path).empty()) {
    dmodCommon->SetStatusText(L"Key not deleted.");
    dmodCommon->ShowMessageText(RegEdits::RootKeyRefused);
    return;
  }
  if (!dmodCommon->ConfirmDelete(L"key", SpacedPath(dmodCommon->GetRootKeyName(root, rnmByOption) + path))) {
    dmodCommon->SetStatusText(L"Key delete aborted.");
    return;
  }
  TCursor old = Screen->GetCursor();
  Screen->SetCursor(crHourGlass);
  // The key under other root keys too (HKEY_USERS\<SID> for a key of
  // HKEY_CURRENT_USER), known while it is there.
  const String identity = RegKeyIdentity(root, path);
  try {
    // A large branch takes a while: the window goes on painting meanwhile.
    dmodCommon->Logic.DeleteKeyBranch(root, path);
    Node->Delete();
    DropKeyNodes(root, path, identity);
    dmodCommon->SetStatusText(L"Key deleted.");
  } catch (const ERegEditRefused& E) {
    dmodCommon->SetStatusText(L"Key not deleted.");
    dmodCommon->ShowMessageText(E.Message());
  } catch (const ERegEditFailed& E) {
    dmodCommon->SetStatusText(L"Key delete failed.");
    // Part of the branch may be gone: its keys are read again when shown.
    DropKeyNodes(root, path, identity, true);
    dmodCommon->ShowErrorText(E.Message());
  } catch (const Exception& E) {
    dmodCommon->SetStatusText(L"Key delete failed.");
    dmodCommon->ShowException(E, L"An exception occurred attempting to delete a registry key.");
  }
  Screen->SetCursor(old);
}

bool TfrmMain::DeleteValue(TListItem* Item) {
  auto* v = ItemValue(Item);
  TTreeExNode* node = GetSelectedNode();
  if (!v || !dmodCommon->NodeHasData(node)) return false;
  const TRegRoot root = dmodCommon->GetNodeRootKey(node);
  const String path = dmodCommon->GetNodeKeyPath(node);
  // A default value that is not set has nothing to delete (and nothing to
  // report, but no earlier delete's success stands for it either).
  if (v->GetName().empty() && !ValueIsSet(root, path, String())) {
    if (!listDeleteRun_) dmodCommon->SetStatusText(String());
    return false;
  }
  try {
    // Many values of the key go through one registry object: the key is
    // opened for the first and stays open for the others.
    TListDeleteRun* run = listDeleteRun_;
    if (run && !run->ValuesKey) run->ValuesKey = std::make_unique<TRegistry>(KEY_READ | KEY_WRITE);
    if (run)
      v->Delete(*run->ValuesKey, root, path);
    else
      v->Delete(root, path);
  } catch (const ERegistryException& E) {
    dmodCommon->SetStatusText(L"Value not deleted.");
    dmodCommon->ShowErrorText(L"An exception occurred attempting to delete the registry value.\n\n" + E.Message());
    return false;
  } catch (const Exception& E) {
    dmodCommon->SetStatusText(L"Value not deleted.");
    dmodCommon->ShowException(E, L"An unknown exception occurred attempting to delete the registry value.\n\n");
    return false;
  }
  if (v->GetName().empty()) {
    // Every key lists its default value: deleted, it shows as not set.
    v->SetString(L"(value not set)");
    if (Item->SubItems()->GetCount() == 0)
      Item->SubItems()->Add(v->GetString());
    else
      Item->SubItems()->Put(0, v->GetString());
    Item->SetImageIndex(0);
  } else {
    RemoveListItem(Item);
  }
  if (!listDeleteRun_) dmodCommon->SetStatusText(L"Value deleted.");
  return true;
}

bool TfrmMain::DeleteBookmark(TListItem* Item) {
  RemoveListItem(Item);
  if (!listDeleteRun_) dmodCommon->SetStatusText(L"Bookmark deleted.");
  return true;
}

String TfrmMain::GetFindResultText(TListItem* Item) {
  auto* hit = ItemHit(Item);
  if (!hit) return Item->GetCaption();
  String text = dmodCommon->GetRootKeyName(hit->RootKey, rnmByOption) + hit->Path;
  if (hit->Kind != hkKeyName) text += L" : " + hit->ValueName;
  return text;
}

bool TfrmMain::DropGoneFindResult(TListItem* Item, const String& Message) {
  // A result whose key or value is gone names nothing any more: it leaves
  // the list. Taken by a deletion of the same command, it was deleted as
  // asked; else the command says so, in an ordinary message (nothing
  // failed, so this is no error for the error dialog), and it does not
  // count as deleted. Below a key this command deleted part way, whoever
  // took it, it goes unnamed and uncounted.
  TFindDeleteRun* run = findDeleteRun_;
  const bool taken = run && run->Took(*ItemHit(Item));
  if (!run) {
    dmodCommon->ShowMessageText(Message);
  } else if (!taken && !run->BelowPartly(*ItemHit(Item))) {
    if (run->Gone.empty()) run->GoneMessage = Message;
    run->Gone.push_back(GetFindResultText(Item));
  }
  RemoveListItem(Item);
  if (!listDeleteRun_) {
    treeRegTree->Invalidate();
    dmodCommon->SetStatusText(L"Find result removed.");
  }
  return taken;
}

bool TfrmMain::DropTakenFindResult(TListItem* Item) {
  auto* hit = ItemHit(Item);
  if (!hit || !findDeleteRun_) return false;
  const bool took = findDeleteRun_->Took(*hit);
  if (!took && !findDeleteRun_->BelowPartly(*hit)) return false;
  if (FindResultGone(*hit).empty()) return false;
  // Gone below a key deleted part way: it leaves unasked and uncounted.
  if (!took) {
    DropGoneFindResult(Item, String());
    return false;
  }
  return DropGoneFindResult(Item, String());
}

bool TfrmMain::DeleteFindResult(TListItem* Item) {
  auto* hit = ItemHit(Item);
  if (!hit) return false;
  // Among many results, a value goes through its key held open for all the
  // values of that key; a value found gone there was gone before. Anything
  // else goes the way of a single result, which says what went wrong.
  if (listDeleteRun_ && findDeleteRun_ && hit->Kind != hkKeyName && !ApiKeyPath(hit->Path).empty()) {
    if (TRegKey* open = findDeleteRun_->ValueKey(hit->RootKey, hit->Path)) {
      const String key = findDeleteRun_->Identity(hit->RootKey, hit->Path);
      if (open->DeleteValue(hit->ValueName)) {
        findDeleteRun_->Values.insert({key, KeyNameFold(hit->ValueName)});
        RemoveListItem(Item);
        return true;
      }
      if (open->LastError() == ERROR_FILE_NOT_FOUND)
        return DropGoneFindResult(Item, ValueGoneMessage(HitKeyName(*hit), hit->ValueName));
    }
  }
  const String gone = FindResultGone(*hit);
  if (!gone.empty()) return DropGoneFindResult(Item, gone);
  // The key's name as the system knows it, while it is there: the results
  // that go with it are known by it.
  const String key = findDeleteRun_              ? findDeleteRun_->Identity(hit->RootKey, hit->Path)
                     : hit->Kind == hkKeyName ? RegKeyIdentity(hit->RootKey, hit->Path)
                                              : String();
  try {
    if (hit->Kind == hkKeyName) {
      try {
        if (listDeleteRun_ && listDeleteRun_->Batch) {
          // Past "Yes to All", under the hourglass of the whole command;
          // the status tells the count at the end. A key without subkeys
          // goes on this thread (a thread for each costs more than deleting
          // most keys); one with subkeys, however deep, on a thread of its
          // own while this one paints the window. Stop is looked for
          // between keys.
          if (dmodCommon->Logic.IsWorking()) throw ERegEditRefused(String(L"Another operation is still under way."));
          if (HasSubkeys(hit->RootKey, hit->Path)) {
            const TRegRoot root = hit->RootKey;
            const String path = hit->Path;
            TCommonLogic* logic = &dmodCommon->Logic;
            RunPainting([root, path, logic] {
              RegEdits::DeleteKey(root, path, [logic](size_t Done, size_t Total) {
                if (logic->OnDeleteProgress) logic->OnDeleteProgress(Done, Total);
              });
            });
          } else {
            RegEdits::DeleteKey(hit->RootKey, hit->Path, {});
          }
        } else {
          // As the tree deletes a key: a large branch goes while the window
          // goes on painting, the status telling how far it got.
          TWaitCursor busy;
          dmodCommon->Logic.DeleteKeyBranch(hit->RootKey, hit->Path);
        }
      } catch (const ERegEditFailed&) {
        // Gone meanwhile (through an alias, or by another program) is as
        // deleted.
        if (KeyStillThere(hit->RootKey, hit->Path)) throw;
      }
    } else {
      RegEdits::DeleteFoundValue(hit->RootKey, hit->Path, hit->ValueName);
    }
  } catch (const ERegEditRefused& E) {
    dmodCommon->SetStatusText(L"Find result not deleted.");
    dmodCommon->ShowMessageText(E.Message());
    return false;
  } catch (const ERegEditKeyGone& E) {
    // Gone between the look above and the deletion: as above.
    return DropGoneFindResult(Item, E.Message());
  } catch (const ERegEditFailed& E) {
    dmodCommon->SetStatusText(L"Find result not deleted.");
    if (hit->Kind == hkKeyName) {
      // Part of the branch may be gone, as when the tree deletes the key:
      // its keys are read again when shown, and results below it whose
      // keys went with that part went by this command.
      if (findDeleteRun_) {
        findDeleteRun_->Partly.insert(key);
        findDeleteRun_->KeyDeleted();
      }
      DropKeyNodes(hit->RootKey, hit->Path, key, true);
    }
    dmodCommon->ShowErrorText(E.Message());
    return false;
  } catch (const Exception& E) {
    dmodCommon->SetStatusText(L"Find result not deleted.");
    dmodCommon->ShowException(E,
                              L"An exception occurred attempting to delete find result, and the associated key or "
                              L"value.  Due to aliases in the Windows registry, the key or value may have already "
                              L"been deleted when another find result was deleted.");
    return false;
  }
  if (findDeleteRun_) {
    if (hit->Kind == hkKeyName) {
      findDeleteRun_->Keys.insert(key);
      findDeleteRun_->KeyDeleted();
    } else {
      findDeleteRun_->Values.insert({key, KeyNameFold(hit->ValueName)});
    }
  }
  if (hit->Kind == hkKeyName) {
    // The key leaves the tree where the tree shows it, under each root key
    // that shows it. The selected key and the keys above it are left to the
    // re-opening that follows, which reads their levels again.
    TFindDeleteRun* run = findDeleteRun_;
    DropKeyNodes(hit->RootKey, hit->Path, key, false, nullptr, [run](TRegRoot R) {
      return run ? run->Identity(R, String()) : RegKeyIdentity(R, String());
    });
  }
  RemoveListItem(Item);
  if (!listDeleteRun_) {
    treeRegTree->Invalidate();
    dmodCommon->SetStatusText(L"Find result deleted.");
  }
  return true;
}

void TfrmMain::OpenListItem() {
  TListItem* item = lvFindResults->GetSelected();
  auto* hit = ItemHit(item);
  if (!hit) return;
  const TKeyStatus about(this);
  String path = hit->Path;
  while (path.size() > 1 && path.back() == L'\\') path.pop_back();
  if (path == L"\\") path.clear();
  // Nothing of an earlier command stands for this one; what the opening
  // reports (a key gone, values that can't be read) stays.
  dmodCommon->SetStatusText(String());
  // A value of the same name in the key above a key that went is not the
  // hit's value.
  bool reached = false;
  ExpandToBranch(hit->RootKey, path, true, &reached);
  if (!reached) {
    dmodCommon->SetStatusText(AppText::KeyNotFound);
  } else if (!hit->ValueName.empty() && !SelectValue(hit->ValueName)) {
    dmodCommon->SetStatusText(L"Value not found.");
    dmodCommon->ShowMessageText(L"The requested value does not exist:\n\n" + HitKeyName(*hit) + L"\n\nValue: " +
                                hit->ValueName);
  }
}

bool TfrmMain::SelectValue(const String& ValueName) {
  TListItems* items = lvKeyValues->Items();
  for (int i = 0; i < items->GetCount(); ++i) {
    TListItem* it = items->GetItem(i);
    // By the value's name: the default value's caption "(Default)" is also
    // the name a value may have.
    const cValue* v = ItemValue(it);
    if (v && v->GetName() == ValueName) {
      lvKeyValues->ClearSelection();
      lvKeyValues->SetSelected(it);
      FocusValueItem(it);
      if (lvKeyValues->CanFocus()) lvKeyValues->SetFocus();
      return true;
    }
  }
  return false;
}
