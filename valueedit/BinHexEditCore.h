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
  String GetAsBin() const { return FormatText(GetAsInteger(), Binary, hexLength_); }
  String GetAsHex() const { return FormatText(GetAsInteger(), HexaDecimal, hexLength_); }
  void SetAsBin(const String& s);
  void SetAsHex(const String& s);
  TBaseFormat GetBaseFormat() const { return baseFormat_; }
  void SetBaseFormat(TBaseFormat base);
  int GetBinLength() const { return binLength_; }
  void SetBinLength(int n) { binLength_ = n; }
  int GetHexLength() const { return hexLength_; }
  void SetHexLength(int n) { hexLength_ = n; }
  int64_t GetMaxValue() const { return maxValue_; }
  void SetMaxValue(int64_t v);
  int64_t GetMinValue() const { return minValue_; }
  void SetMinValue(int64_t v);
  bool GetReadOnlyCore() const { return readOnly_; }
  void SetReadOnlyCore(bool v) { readOnly_ = v; }
  const String& GetVersion() const { return version_; }
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
  virtual String EditText() const { return text_; }
  virtual void SetEditText(const String& s) { text_ = s; }
  virtual int EditSelStart() const { return selStart_; }
  virtual int EditSelLength() const { return selLength_; }
  virtual void EditSetSel(int start, int length);
  virtual void Beep() { ++BeepCount; }
  virtual void TakeFocusBack() {}
  virtual TObject* EventSender() { return nullptr; }
  // While a form description is read no range is enforced.
  virtual bool IsLoadingNow() const { return false; }
  // In a form designer a value assigned outside the range in force is
  // answered as an invalid entry, and the box never takes the focus.
  virtual bool IsDesigningNow() const { return false; }
  // The control's own key-press event (runs after Enter/Escape are dropped).
  virtual void FireKeyPress(wchar_t& /*key*/) {}
  void ReplaceSelectionText(const String& s);

  TBaseFormat baseFormat_ = HexaDecimal;
  int binLength_ = 32;
  int hexLength_ = 8;
  int64_t maxValue_ = 0;
  int64_t minValue_ = 0;
  bool readOnly_ = false;
  String version_ = L"8.00.00.00";

 private:
  bool RangeInForce() const { return minValue_ != 0 || maxValue_ != 0; }
  String text_;
  int selStart_ = 0;
  int selLength_ = 0;
};
