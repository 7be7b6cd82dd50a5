// Settings files over text files.
#include "classlib/IniFiles.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TCustomIniFile

int TCustomIniFile::ReadInteger(const String& Section, const String& Ident, int Default) {
  return StrToIntDef(ReadString(Section, Ident, String()), Default);
}

void TCustomIniFile::WriteInteger(const String& Section, const String& Ident, int Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TCustomIniFile::ReadBool(const String& Section, const String& Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String& Section, const String& Ident, bool Value) {
  WriteString(Section, Ident, Value ? L"1" : L"0");
}

double TCustomIniFile::ReadFloat(const String& Section, const String& Ident, double Default) {
  String s = ReadString(Section, Ident, String());
  return s.empty() ? Default : StrToFloatDef(s, Default);
}

void TCustomIniFile::WriteFloat(const String& Section, const String& Ident, double Value) {
  WriteString(Section, Ident, FloatToStr(Value));
}

bool TCustomIniFile::SectionExists(const String& Section) {
  TStringList l;
  ReadSection(Section, &l);
  return l.GetCount() > 0;
}

bool TCustomIniFile::ValueExists(const String& Section, const String& Ident) {
  TStringList l;
  ReadSection(Section, &l);
  return l.IndexOf(Ident) >= 0;
}

// ---------------------------------------------------------------------------
// TMemIniFile

static bool HasLineBreak(const String& s) { return s.find_first_of(L"\r\n") != String::npos; }

// Refuses text that would change the file's structure when written.
static void CheckWritable(const String& Section, const String& Ident, const String& Value) {
  if (HasLineBreak(Section) || Section.find(L']') != String::npos)
    throw EIniFileException(Format(L"Invalid section name \"%s\"", Section));
  String id = Trim(Ident);
  if (id.empty() || HasLineBreak(Ident) || Ident.find(L'=') != String::npos || id[0] == L'[' || id[0] == L';')
    throw EIniFileException(Format(L"Invalid value name \"%s\"", Ident));
  if (HasLineBreak(Value)) throw EIniFileException(Format(L"Value of \"%s\" contains a line break", Ident));
}

TMemIniFile::TMemIniFile(const String& FileName) : TCustomIniFile(FileName), path_(FileName) { LoadValues(); }

TMemIniFile::~TMemIniFile() = default;

void TMemIniFile::Clear() { sections_.clear(); }

void TMemIniFile::LoadValues() {
  TStringList l;
  if (!path_.empty() && FileExists(path_)) l.LoadFromFile(path_);
  SetStrings(&l);
}

void TMemIniFile::SetStrings(const TStrings* List) {
  sections_.clear();
  Section* cur = nullptr;
  for (int i = 0; i < List->GetCount(); ++i) {
    String line = Trim(List->Get(i));
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      size_t close = line.find(L']');
      String name = Trim(line.substr(1, close == String::npos ? String::npos : close - 1));
      cur = FindSection(name);
      if (!cur) {
        sections_.push_back(Section{name, {}});
        cur = &sections_.back();
      }
      continue;
    }
    if (!cur) continue;  // lines before the first section are ignored
    size_t eq = line.find(L'=');
    String name = Trim(eq == String::npos ? line : line.substr(0, eq));
    String value = eq == String::npos ? String() : Trim(line.substr(eq + 1));
    // The first occurrence of a name wins, as with the system functions.
    bool dup = false;
    for (auto& e : cur->Entries)
      if (SameText(e.Name, name)) dup = true;
    if (!dup) cur->Entries.push_back(Entry{name, value});
  }
}

void TMemIniFile::GetStrings(TStrings* List) const {
  List->BeginUpdate();
  List->Clear();
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (i) List->Add(String());
    List->Add(L"[" + sections_[i].Name + L"]");
    for (auto& e : sections_[i].Entries) List->Add(e.Name + L"=" + e.Value);
  }
  List->EndUpdate();
}

TMemIniFile::Section* TMemIniFile::FindSection(const String& Name) {
  for (auto& s : sections_)
    if (SameText(s.Name, Name)) return &s;
  return nullptr;
}

String TMemIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  if (auto* s = FindSection(Trim(Section)))
    for (auto& e : s->Entries)
      if (SameText(e.Name, Trim(Ident))) return e.Value;
  return Default;
}

void TMemIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  CheckWritable(Section, Ident, Value);
  String sec = Trim(Section), id = Trim(Ident);
  auto* s = FindSection(sec);
  if (!s) {
    sections_.push_back(TMemIniFile::Section{sec, {}});
    s = &sections_.back();
  }
  for (auto& e : s->Entries)
    if (SameText(e.Name, id)) {
      e.Value = Value;
      return;
    }
  s->Entries.push_back(Entry{id, Value});
}

void TMemIniFile::ReadSection(const String& Section, TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  if (auto* s = FindSection(Trim(Section)))
    for (auto& e : s->Entries) Strings->Add(e.Name);
  Strings->EndUpdate();
}

void TMemIniFile::ReadSections(TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  for (auto& s : sections_) Strings->Add(s.Name);
  Strings->EndUpdate();
}

void TMemIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  if (auto* s = FindSection(Trim(Section)))
    for (auto& e : s->Entries) Strings->Add(e.Name + L"=" + e.Value);
  Strings->EndUpdate();
}

void TMemIniFile::EraseSection(const String& Section) {
  String sec = Trim(Section);
  sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                 [&](const TMemIniFile::Section& s) { return SameText(s.Name, sec); }),
                  sections_.end());
}

void TMemIniFile::DeleteKey(const String& Section, const String& Ident) {
  if (auto* s = FindSection(Trim(Section))) {
    String id = Trim(Ident);
    s->Entries.erase(std::remove_if(s->Entries.begin(), s->Entries.end(),
                                    [&](const Entry& e) { return SameText(e.Name, id); }),
                     s->Entries.end());
  }
}

void TMemIniFile::UpdateFile() {
  TStringList l;
  GetStrings(&l);
  bool lossy = false;
  WideToAnsi(l.GetText(), &lossy);
  l.SaveToFile(path_, lossy ? teUTF16LE : teAnsi);
}

// ---------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(const String& FileName) : TMemIniFile(String()) {
  path_ = FileName;
}

TIniFile::~TIniFile() = default;

String TIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  LoadValues();
  // The file keeps its text as written; a read strips one pair of matching
  // quotes around a value, as the system's profile functions do.
  if (auto* s = FindSection(Trim(Section)))
    for (auto& e : s->Entries)
      if (SameText(e.Name, Trim(Ident))) {
        const String& v = e.Value;
        if (v.size() >= 2 && (v[0] == L'"' || v[0] == L'\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
        return v;
      }
  return Default;
}

void TIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  LoadValues();
  TMemIniFile::WriteString(Section, Ident, Value);
  TMemIniFile::UpdateFile();
}

void TIniFile::ReadSection(const String& Section, TStrings* Strings) {
  LoadValues();
  TMemIniFile::ReadSection(Section, Strings);
}

void TIniFile::ReadSections(TStrings* Strings) {
  LoadValues();
  TMemIniFile::ReadSections(Strings);
}

void TIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  LoadValues();
  TMemIniFile::ReadSectionValues(Section, Strings);
}

void TIniFile::EraseSection(const String& Section) {
  LoadValues();
  if (!FindSection(Trim(Section))) return;
  TMemIniFile::EraseSection(Section);
  TMemIniFile::UpdateFile();
}

void TIniFile::DeleteKey(const String& Section, const String& Ident) {
  LoadValues();
  TMemIniFile::DeleteKey(Section, Ident);
  TMemIniFile::UpdateFile();
}

void TIniFile::UpdateFile() {}  // every change is written at once
