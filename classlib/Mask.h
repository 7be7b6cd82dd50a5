// The masked edit: a single-line edit whose text follows an edit mask.
//
// A mask has up to three fields separated by ';': the mask itself, whether
// Text keeps the literal characters ("1", the default, or "0"), and the
// character that shows an empty position (default '_'). In the mask:
//   L  a letter          l  a letter, optional
//   A  a letter or digit a  a letter or digit, optional
//   C  any character     c  any character, optional
//   0  a digit           9  a digit, optional
//   #  a digit or a sign (+ or -), optional
//   >  what follows is upper-cased, <  lower-cased, <> neither
//   \  the next character is a literal
//   :  the time separator, /  the date separator, _  a space
//   !  optional positions left empty count as leading blanks in Text
// Anything else is a literal that stands in the text and is skipped by the
// caret. Windows only.
#pragma once

#include <vector>

#include "classlib/StdCtrls.h"

ZEMBRIO_DECLARE_EXCEPTION(EMaskEditError, Exception)

// An edit mask taken apart.
class TEditMask {
 public:
  enum TKind { mkLiteral, mkLetter, mkAlnum, mkAny, mkDigit, mkDigitOrSign };
  enum TCase { mcNone, mcUpper, mcLower };
  struct TPos {
    TKind Kind = mkLiteral;
    bool Required = false;
    TCase Case = mcNone;
    wchar_t Literal = 0;
    bool IsSlot() const { return Kind != mkLiteral; }
  };

  TEditMask() = default;
  explicit TEditMask(const String& Mask);

  bool Empty() const { return pos_.empty(); }
  int Length() const { return int(pos_.size()); }
  const TPos& operator[](int i) const { return pos_[size_t(i)]; }
  bool SaveLiterals() const { return saveLiterals_; }
  wchar_t Blank() const { return blank_; }
  bool LeadingBlanks() const { return leadingBlanks_; }

  // Whether c may stand at slot i, and c as it is stored there.
  bool Accepts(int i, wchar_t c) const;
  wchar_t Convert(int i, wchar_t c) const;
  // The first slot at or after i (Length() when none), the last before i (-1).
  int NextSlot(int i) const;
  int PrevSlot(int i) const;

  // The edit text (every position, empty slots as the blank character) of
  // a value: with literals the value is read position by position, without
  // them slot by slot. Characters a slot does not take leave it empty.
  String Format(const String& Value, bool WithLiterals) const;
  // The text of an edit text: literals kept or dropped, empty slots as
  // spaces (without literals trailing spaces go, or leading ones with '!').
  String Unformat(const String& EditText, bool WithLiterals) const;
  // The first required slot that is empty, or -1.
  int FirstMissing(const String& EditText) const;

 private:
  std::vector<TPos> pos_;
  bool saveLiterals_ = true;
  wchar_t blank_ = L'_';
  bool leadingBlanks_ = false;
};

// Value laid into Mask: the text with literals, empty slots as spaces.
String FormatMaskText(const String& EditMask, const String& Value);

class TCustomMaskEdit : public TCustomEdit {
 public:
  explicit TCustomMaskEdit(TComponent* AOwner);

  const String& GetEditMask() const { return editMask_; }
  // Sets the mask; the current Text is laid into it.
  void SetEditMask(const String& Value);
  bool IsMasked() const { return !mask_.Empty(); }
  // The text as shown: literals and blanks included.
  String GetEditText();
  void SetEditText(const String& Value);

  // Raises EMaskEditError (and puts the caret on the first empty required
  // position) when the text does not fill the mask.
  virtual void ValidateEdit();
  // Back to the text before the last change.
  void Undo();
  bool CanUndo() const { return !undo_.empty() || undoValid_; }
  // Back to the text the edit had when it got the focus.
  virtual void Reset();
  virtual bool EditCanModify() const { return !readOnly_; }

  void WndProc(TMessage& m) override;

 protected:
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  String GetTextImpl() override;
  void SetTextImpl(const String& s) override;
  // Beeps for a character the mask does not take.
  virtual void ValidateError();

  // Editing through the mask; each keeps the text for Undo.
  void TypeChar(wchar_t c);
  void DeleteChars(bool Backward);
  void PasteText(const String& s);

  const TEditMask& Mask() const { return mask_; }

 private:
  void GetSel(int& start, int& end);
  void SetSel(int start, int end);
  void Store(const String& editText, int caret);
  // The edit text at full length with the selection, its slots blanked
  // when asked.
  String Working(int& start, int& end, bool blankSelection);
  String RawText() { return TCustomEdit::GetTextImpl(); }

  String editMask_;
  TEditMask mask_;
  String undo_;
  bool undoValid_ = false;
  String entryText_;  // the edit text when the focus came
  bool entered_ = false;
};

class TMaskEdit : public TCustomMaskEdit {
 public:
  const char* ClassName() const override { return "TMaskEdit"; }
  explicit TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}
};
