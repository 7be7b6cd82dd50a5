// The registry half of the editor's changes to keys and values: new key,
// key rename, new value, and the deletion of keys and values (from the tree
// or through find results). Each operation takes a root key, a key path
// (with or without its leading backslash) and names, works on a registry
// object of its own, and returns its result or raises with the text the
// editor shows. The main window only updates its tree and lists. Windows
// only.
#pragma once

#include <cstddef>
#include <functional>

#include "app/RegRoots.h"
#include "classlib/Registry.h"

// The operation failed: the message is the whole text of the error dialog.
ZEMBRIO_DECLARE_EXCEPTION(ERegEditFailed, Exception)
// The operation was refused before anything changed: the message is a
// warning.
ZEMBRIO_DECLARE_EXCEPTION(ERegEditRefused, Exception)
// The key of a value to delete does not exist (any more).
ZEMBRIO_DECLARE_EXCEPTION(ERegEditKeyGone, ERegEditFailed)

// The four kinds of new value, in the order of the texts below.
enum class TNewValueKind : unsigned char { String, ExpandString, Binary, Integer };

struct TNewValueTexts {
  const wchar_t* TypeWord;       // of the free name: "New " + word + " Value"
  const wchar_t* Status;         // followed by the name
  const wchar_t* Error;          // followed by the key path, "\nValue name: " and the name
  const wchar_t* ExceptionText;  // the exception dialog's text
};
const TNewValueTexts& NewValueTexts(TNewValueKind Kind);

// A value as created: its name and what the registry holds for it.
struct TNewValue {
  String Name;
  TRegRawValue Value;
};

namespace RegEdits {

// The warning for a root key to delete: "A root key can't be deleted."
extern const wchar_t* const RootKeyRefused;

// Creates the first free of "New Key", "New Key #2", ... below ParentPath
// and returns its name.
String NewKey(TRegRoot Root, const String& ParentPath);

// Moves the key at OldPath with its values and subkeys to NewPath. Refused
// when NewPath exists (also when it differs from OldPath only in letter
// case: the registry finds the old key there). The key's subkeys are
// copied one branch at a time, then deleted one branch at a time, each step
// followed by Progress (steps done, steps in all); a copy that fails is
// taken back and the old key stays whole.
void RenameKey(TRegRoot Root, const String& OldPath, const String& NewPath,
               const std::function<void(size_t Done, size_t Total)>& Progress = {});

// Creates a value of the kind with its empty data (empty text, no bytes, 0)
// under the first free name in the existing key.
TNewValue NewValue(TNewValueKind Kind, TRegRoot Root, const String& KeyPath);

// Deletes the key with all its subkeys; a key that is already gone counts
// as a failure. A root key itself is refused. With Progress, the key's
// subkeys go one branch at a time, each followed by Progress (branches
// deleted, branches in all); a failure partway says how many went.
void DeleteKey(TRegRoot Root, const String& Path,
               const std::function<void(size_t Done, size_t Total)>& Progress = {});

// The deletions of find results, where an alias may have taken the key or
// value already: only what is still there after a failed deletion is a
// failure. A root key itself is refused; a value whose key is not there
// raises ERegEditKeyGone. Any other refusal (a key the user may read but
// not change) raises ERegEditFailed with the system's reason.
void DeleteFoundKey(TRegRoot Root, const String& Path);
void DeleteFoundValue(TRegRoot Root, const String& Path, const String& ValueName);

}  // namespace RegEdits
