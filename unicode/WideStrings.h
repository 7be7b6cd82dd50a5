// Lists of wide (UTF-16) strings with attached objects. They read UTF-16
// text of either byte order (by byte-order mark) or ANSI text, and write
// UTF-16 little-endian or ANSI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Filer.h"
#include "unicode/WideTypes.h"
#ifdef _WIN32
// The system's headers make GetObject a macro: with them in every file the
// lists' GetObject has one name throughout the program.
#include <windows.h>
#endif

class TWideStrings;

// Asked before an ANSI save would lose characters; set Allowed to false to
// write nothing.
using TConfirmConversionEvent = TEvent<void(TWideStrings* Sender, bool& Allowed)>;

class TWideStrings : public TPersistent {
 public:
  TWideStrings();
  ~TWideStrings() override;
  const char* ClassName() const override { return "TWideStrings"; }

  void Assign(TPersistent* Source) override;
  // The list in a component stream: the one property "WideStrings", written
  // when the list is not empty or, against an ancestor, differs from it.
  // Public, so the component that holds a list can declare it.
  void DefineProperties(TFiler* Filer) override;
  // The property's value: a list of wide strings. Reading replaces the
  // list's strings.
  void ReadData(TReader* Reader);
  void WriteData(TWriter* Writer);

  virtual WideString Get(int Index) const = 0;
  virtual int GetCapacity() const;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int Index) const;
  virtual WideString GetTextStr() const;
  virtual void Put(int Index, const WideString& S);
  virtual void PutObject(int Index, TObject* AObject);
  virtual void SetCapacity(int NewCapacity);
  virtual void SetTextStr(const WideString& Value);
  virtual void SetLanguage(std::uint32_t Value);
  virtual int Add(const WideString& S);
  virtual int AddObject(const WideString& S, TObject* AObject);
  virtual void AddStrings(const TStrings* Strings);
  virtual void AddStrings(const TWideStrings* Strings);
  virtual void Clear() = 0;
  virtual void Delete(int Index) = 0;
  virtual void Exchange(int Index1, int Index2);
  // A new zero-terminated copy of the text; free it with StrDisposeW.
  virtual WideChar* GetText() const;
  virtual int IndexOf(const WideString& S) const;
  virtual void Insert(int Index, const WideString& S) = 0;
  virtual void LoadFromFile(const String& FileName);
  virtual void LoadFromStream(TStream* Stream);
  virtual void Move(int CurIndex, int NewIndex);
  virtual void SaveToFile(const String& FileName);
  virtual void SaveToStream(TStream* Stream);
  virtual void SetText(const WideChar* Text);

  // Loads the bytes of a text file: UTF-16 by byte-order mark, else ANSI.
  void LoadFromBytes(const void* Data, std::size_t Size);

  WideString operator[](int Index) const { return Get(Index); }
  WideString GetStrings(int Index) const { return Get(Index); }
  void Append(const WideString& S) { Add(S); }
  void BeginUpdate();
  void EndUpdate();
  int GetUpdateCount() const { return updateCount_; }
  bool Equals(const TWideStrings* Strings) const;
  int IndexOfName(const WideString& Name) const;
  int IndexOfObject(const TObject* AObject) const;
  void InsertObject(int Index, const WideString& S, TObject* AObject);

  // Strings of the form name=value.
  WideString GetName(int Index) const;
  WideString GetValue(const WideString& Name) const;
  // An empty value deletes the string of that name.
  void SetValue(const WideString& Name, const WideString& Value);

  WideString GetCommaText() const;
  void SetCommaText(const WideString& Value);

  std::uint32_t GetLanguage() const { return language_; }
  bool GetSaved() const { return saved_; }
  bool GetSaveUnicode() const { return saveUnicode_; }
  void SetSaveUnicode(bool Value) { saveUnicode_ = Value; }

  TConfirmConversionEvent OnConfirmConversion;

 protected:
  void AssignTo(TPersistent* Dest) override;
  virtual void SetUpdateState(bool Updating);
  // Raises EStringListError with Msg, its "%d" replaced by Data.
  [[noreturn]] void Error(const wchar_t* Msg, int Data) const;
  // The comparison of every search and sort: case ignored, in the language.
  int CompareStrings(const WideString& S1, const WideString& S2) const;

  std::uint32_t language_;

 private:
  int updateCount_ = 0;
  bool saved_ = false;
  bool saveUnicode_ = false;
};

struct TWideStringItem {
  WideString FString;
  TObject* FObject = nullptr;
};

class TWideStringList : public TWideStrings {
 public:
  TWideStringList() = default;
  ~TWideStringList() override;
  const char* ClassName() const override { return "TWideStringList"; }

  WideString Get(int Index) const override;
  int GetCapacity() const override { return static_cast<int>(items_.size()); }
  int GetCount() const override { return count_; }
  TObject* GetObject(int Index) const override;
  void Put(int Index, const WideString& S) override;
  void PutObject(int Index, TObject* AObject) override;
  void SetCapacity(int NewCapacity) override;
  void SetLanguage(std::uint32_t Value) override;
  int Add(const WideString& S) override;
  void Clear() override;
  void Delete(int Index) override;
  void Exchange(int Index1, int Index2) override;
  int IndexOf(const WideString& S) const override;
  void Insert(int Index, const WideString& S) override;

  // Binary search of a sorted list: whether S is there, and in Index its
  // position (the first of equal strings with dupAccept) or where it goes.
  virtual bool Find(const WideString& S, int& Index) const;
  virtual void Sort();

  bool GetSorted() const { return sorted_; }
  void SetSorted(bool Value);
  TDuplicates GetDuplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates Value) { duplicates_ = Value; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool Updating) override;
  virtual void Changed();
  virtual void Changing();
  void ExchangeItems(int Index1, int Index2);
  void Grow();
  void InsertItem(int Index, const WideString& S);
  void QuickSort(int L, int R);

 private:
  void CheckIndex(int Index, int Limit) const;
  void SortItems();
  std::vector<TWideStringItem> items_;  // its length is the capacity
  int count_ = 0;
  bool sorted_ = false;
  TDuplicates duplicates_ = dupIgnore;
};
