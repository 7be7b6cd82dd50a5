// The editor's registry helpers on the class library's key layer: keys
// known by root and path, branch deletion, and branches cut into parts for
// the walks of the search and the export. Windows only.
#pragma once

#include <memory>
#include <vector>

#include "app/RegRoots.h"
#include "classlib/PartRunner.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"

// True when the key exists (opens it read-only).
bool RegKeyExists(TRegRoot Root, const String& Path);
// True when Path below Parent is a key of its own that can't be opened
// because it is a link to a key that is not there (the open fails as for
// a key that is missing, yet the key is listed). Target receives the
// path it links to, as the link holds it.
bool RegDanglingLink(HKEY Parent, const String& Path, String* Target = nullptr);
// Why the key Path below Parent, which failed to open with Code, can't be
// read although it is there, as a sentence: a link to a key that is not
// there, or the system's reason (access denied, say). Empty when the key
// is simply not there (deleted since it was listed, say).
String RegUnreadableReason(HKEY Parent, const String& Path, LONG Code);

// Deletes the subkey Name (a relative path) of Parent with everything below
// it through TRegKey::DeleteTree and returns the system's code: link keys,
// Name or below it, go as themselves (one to a key that is not there too),
// never the keys they link to.
LONG RegDeleteTree(TRegKey& Parent, const String& Name, String* FailedPath = nullptr);

// Key names are equal as the registry finds them: character by character,
// letter case aside, by the system's own case table whatever the user's
// locale. A linguistic comparison would take "ab" for "a\u00ADb", "ss" for
// "\u00DF" or "e\u0301" for "\u00E9", siblings all.
bool SameKeyName(const String& A, const String& B);
// A hash of a name or path that is the same for every spelling
// SameKeyName takes for one.
size_t KeyNameHash(const String& Name);
// The name or path upper-cased by the same table: equal for every spelling
// SameKeyName takes for one.
String KeyNameFold(const String& Name);
// The name by which the system knows the key Path below Root, folded by
// KeyNameFold: one name for every alias of the key (a key below
// HKEY_CURRENT_USER and the same key below HKEY_USERS, a key below
// HKEY_CLASSES_ROOT and where it lives). A key that is not there (or can't
// be opened) is named after the nearest key above it that is, followed by
// the rest of its path, so a key deleted with a key above it keeps the name
// it had. Where the system tells no name, the root's name and the path.
String RegKeyIdentity(TRegRoot Root, const String& Path);
// True when the key Path below Root, open as Key, is a key above it on its
// own path reached again through a link (a cycle: its subkeys, shown below
// it, would hold it again, deeper and deeper). Above receives that key's
// path. False too when the system tells no names.
bool RegKeyRepeatsAbove(TRegRoot Root, const String& Path, const TRegKey& Key, String* Above = nullptr);
// Deletes a key with everything below it (nothing for a missing key).
// Raises ERegistryException "Unable to delete the key <path>" naming the key
// that can't be deleted. A root key (empty path) is refused.
void RegDeleteBranch(TRegRoot Root, const String& Path);

// One key of a walk that follows links (the search, the export), on the
// walk's own path: the key being read and, through Up, the keys the walk
// came down through, each known by the name the system keeps for it. A link
// back to one of those (a cycle) would have the walk read the same keys
// again and again, deeper each time: the walk reads no key that is not
// Readable. Made for keys with subkeys only (a key that a link leads back
// to has at least the one on the way down), each one registry call.
class TRegWalkLevel {
 public:
  // The walk reads nothing deeper than this many levels below a root key:
  // the system's own limit, a last guard.
  static constexpr unsigned kMaxDepth = 512;
  // Key, opened as the key Key.Path() below Root; Up is the level of the key
  // it was listed in, null for the walk's top. A shared Up is kept alive.
  TRegWalkLevel(TRegRoot Root, const TRegWalkLevel* Up, const TRegKey& Key);
  TRegWalkLevel(TRegRoot Root, std::shared_ptr<const TRegWalkLevel> Up, const TRegKey& Key);
  TRegWalkLevel(const TRegWalkLevel&) = delete;
  TRegWalkLevel& operator=(const TRegWalkLevel&) = delete;

  bool Readable() const { return !repeats_ && depth_ <= kMaxDepth; }
  // Why the key is not read, as the walk's reports say it (RootName is the
  // root key's name there): "a link back to a key above it: <that key>" or
  // "more than 512 levels deep"; empty when it is read.
  String Refusal(const String& RootName) const;

 private:
  const TRegWalkLevel* up_;
  std::shared_ptr<const TRegWalkLevel> keep_;
  String name_;  // the system's; empty when it tells none
  String path_;  // the path the walk opened the key by
  unsigned depth_;
  const TRegWalkLevel* repeats_ = nullptr;  // the level above that is the same key
};

// A branch read side by side: each registry call waits on the system far
// longer than it computes, so several threads reading different keys finish
// in about the time of one. The branch is cut into parts in the order of a
// depth-first walk: the keys of its top levels on their own (their line,
// values and names), and whole subtrees below them.
struct TBranchPart {
  TRegRoot Root = 0;
  String Path;  // below the root, no backslashes at its ends
  bool Whole = false;  // the subtree; else the key alone, its subkeys being parts of their own
  // The level of the key the part's key was listed in; null for the
  // branch's top.
  std::shared_ptr<const TRegWalkLevel> Above;
};

// Appends the parts of the branch Path below Root in walk order: the top
// levels are opened and listed here until there are enough parts. A key
// that can't be opened or listed, or is not Readable, stays a whole part
// (whoever reads it finds that out). Empty subkey names are left out.
void PlanBranchParts(TRegRoot Root, const String& Path, std::vector<TBranchPart>& Parts);
