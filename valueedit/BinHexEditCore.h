// The behaviour of the integer edit box without a window: one signed 64-bit
// integer shown in decimal, binary or "$" hexadecimal, per-base key
// filtering, paste replayed as typed characters, the sign toggle and the
// range check. The window control (TBinHexEdit) forwards the edit state
// through the protected Edit* seam; alone the core keeps text and
// selection itself.
#pragma once

#include <cstdint>

#include "classlib/Classes.h"
#include "classlib/Events.h"
#include "classlib/SysUtils.h"

enum TBaseFormat { Number, Binary, HexaDecimal };

class TBinHexEditCore {
 public:
  TBinHexEditCore();
  virtual ~TBinHexEditCore() = default;

  static String FormatText(int64_t value, TBaseFormat base, int hexLength);
  static String IntToBin(int64_t value);
  static int64_t BinToInt(const String& text);
  // "$" hexadecimal (up to 16 digits, two's complement) or signed decimal;
  // raises EConvertError for anything else.
  static int64_t TextToInt(const String& text);

  int64_t GetAsInteger() const;
  void SetAsInteger(int64_t value);
  String GetAsBin() const { return FormatText(GetAsInteger(), Binary, fHexLength); }
  String GetAsHex() const { return FormatText(GetAsInteger(), HexaDecimal, fHexLength); }
  void SetAsBin(const String& s);
  void SetAsHex(const String& s);
  TBaseFormat GetBaseFormat() const { return fBaseFormat; }
  void SetBaseFormat(TBaseFormat base);
  int GetBinLength() const { return fBinLength; }
  void SetBinLength(int n) { fBinLength = n; }
  int GetHexLength() const { return fHexLength; }
  void SetHexLength(int n) { fHexLength = n; }
  int64_t GetMaxValue() const { return fMaxValue; }
  void SetMaxValue(int64_t v);
  int64_t GetMinValue() const { return fMinValue; }
  void SetMinValue(int64_t v);
  bool GetReadOnlyCore() const { return fReadOnly; }
  void SetReadOnlyCore(bool v) { fReadOnly = v; }
  const String& GetVersion() const { return fVersion; }
  void SetVersion(const String&) {}

  // Key handling. `key` becomes 0 when the key is dropped.
  void FilterKeyPress(wchar_t& key);
  void FilterKeyDown(int& key, TShiftState shift);
  void FilterKeyUp(int& key, TShiftState shift);
  // Deletes the selection and replays each character as typed.
  void PasteText(const String& text);
  // The check run when the box loses the focus.
  void CheckRangeOnExit();
  void InvalidEntry();

  // One typed character: filtered, then applied to the text (headless).
  virtual void TypeChar(wchar_t c);

  TNotifyEvent OnInvalidEntry;
  int BeepCount = 0;

 protected:
  virtual String EditText() const { return fText; }
  virtual void SetEditText(const String& s) { fText = s; }
  virtual int EditSelStart() const { return fSelStart; }
  virtual int EditSelLength() const { return fSelLength; }
  virtual void EditSetSel(int start, int length);
  virtual void Beep() { ++BeepCount; }
  virtual void TakeFocusBack() {}
  virtual TObject* EventSender() { return nullptr; }
  // While a form description is read no range is enforced.
  virtual bool IsLoadingNow() const { return false; }
  // The control's own key-press event (runs after Enter/Escape are dropped).
  virtual void FireKeyPress(wchar_t& /*key*/) {}
  void ReplaceSelectionText(const String& s);

  TBaseFormat fBaseFormat = HexaDecimal;
  int fBinLength = 32;
  int fHexLength = 8;
  int64_t fMaxValue = 0;
  int64_t fMinValue = 0;
  bool fReadOnly = false;
  String fVersion = L"8.00.00.00";

 private:
  bool RangeInForce() const { return fMinValue != 0 || fMaxValue != 0; }
  String fText;
  int fSelStart = 0;
  int fSelLength = 0;
};
