// Numbers of the spin-edit item: formatting with a prefix and a postfix,
// and parsing typed text with units and at most one arithmetic operator.
// Portable: no window system needed.
#pragma once

#include <cstdint>
#include <functional>

#include "classlib/SysUtils.h"

enum TSEValueType { evtInteger, evtFloat, evtHex };
// Digits after the decimal separator: 0..10.
using TDecimal = uint8_t;

struct TSpinValueFormat {
  TSEValueType ValueType = evtInteger;
  int Decimal = 2;
  double MinValue = 0, MaxValue = 0;  // equal bounds: no range
  String Prefix, Postfix;
  bool SpaceAfterPrefix = false, SpaceBeforePostfix = false;
  // Optional hooks (the item's events); empty ones are skipped.
  std::function<bool(const String& Prefix, const String& Postfix, double& Value)> Convert;
  std::function<bool(const String& Text, double& Value)> TextToValue;
  std::function<void(double Value, String& Text)> ValueToText;
};

// Clamps to the range when there is one.
double SpinCheckValue(const TSpinValueFormat& F, double V);
String SpinValueToText(const TSpinValueFormat& F, double V);
// False when the text is no valid number (V is then 0).
bool SpinParseValue(const TSpinValueFormat& F, const String& Text, double& V);
// True when S holds no character that ends a unit (empty is fine).
bool SpinValidateUnits(const String& S);
// The next value up (Step +1) or down (-1); with Snap, to the next multiple
// of the increment.
double SpinStep(double Old, double Increment, bool Snap, int Step);
// Round to nearest, ties to even.
int64_t SpinRound(double V);
