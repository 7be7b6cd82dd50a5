// Text routines of the extended library on 8-bit strings (code page 1252).
// Positions are 1-based as in the rest of the library's text helpers; 0
// means "not found". Portable: the routines that need the system's locale
// or OEM tables are in the Windows-only part (ExStrUtilWin.cpp).
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "classlib/SysUtils.h"

// A set of 8-bit characters.
class TCharSet {
 public:
  TCharSet() = default;
  TCharSet(std::initializer_list<char> Chars) {
    for (char C : Chars) Include(C);
  }
  explicit TCharSet(const char* Chars) {
    for (; Chars && *Chars; ++Chars) Include(*Chars);
  }
  void Include(char C) { Bits.set(static_cast<unsigned char>(C)); }
  bool Contains(char C) const { return Bits.test(static_cast<unsigned char>(C)); }
  bool Empty() const { return Bits.none(); }

 private:
  std::bitset<256> Bits;
};

// Space, tab, carriage return, line feed.
extern const TCharSet WordDelimiters;

bool IsEmptyStr(const AnsiString& S, const TCharSet& EmptyChars);
AnsiString ReplaceStr(const AnsiString& S, const AnsiString& Srch, const AnsiString& Replace);
AnsiString DelChars(const AnsiString& S, char Chr);
AnsiString DelSpace(const AnsiString& S);
AnsiString DelBSpace(const AnsiString& S);
AnsiString DelESpace(const AnsiString& S);
AnsiString DelRSpace(const AnsiString& S);
AnsiString DelSpace1(const AnsiString& S);
AnsiString Tab2Space(const AnsiString& S, int Numb);
AnsiString MakeStr(char C, int N);
inline AnsiString MS(char C, int N) { return MakeStr(C, N); }
int NPos(const AnsiString& C, const AnsiString& S, int N);
AnsiString AddChar(char C, const AnsiString& S, int N);
AnsiString AddCharR(char C, const AnsiString& S, int N);
AnsiString LeftStr(const AnsiString& S, int N);
AnsiString RightStr(const AnsiString& S, int N);
AnsiString Copy2Symb(const AnsiString& S, char Symb);
AnsiString Copy2SymbDel(AnsiString& S, char Symb);
AnsiString Copy2Space(const AnsiString& S);
AnsiString Copy2SpaceDel(AnsiString& S);

// Code page 1252 case mapping (ASCII and the Latin-1 letters).
AnsiString AnsiUpperCaseA(const AnsiString& S);
AnsiString AnsiLowerCaseA(const AnsiString& S);
AnsiString AnsiProperCase(const AnsiString& S, const TCharSet& WordDelims);

int WordCount(const AnsiString& S, const TCharSet& WordDelims);
int WordPosition(int N, const AnsiString& S, const TCharSet& WordDelims);
AnsiString ExtractWord(int N, const AnsiString& S, const TCharSet& WordDelims);
AnsiString ExtractWordPos(int N, const AnsiString& S, const TCharSet& WordDelims, int& Pos);
AnsiString ExtractDelimited(int N, const AnsiString& S, const TCharSet& Delims);
AnsiString ExtractSubstr(const AnsiString& S, int& Pos, const TCharSet& Delims);
bool IsWordPresent(const AnsiString& W, const AnsiString& S, const TCharSet& WordDelims);

// The text in Quote characters, inner quotes doubled; and back. A text that
// does not start with Quote comes back unchanged.
AnsiString QuotedString(const AnsiString& S, char Quote);
AnsiString ExtractQuotedString(const AnsiString& S, char Quote);

AnsiString Numb2USA(const AnsiString& S);
AnsiString CenterStr(const AnsiString& S, int Len);

AnsiString Dec2Hex(int64_t N, int A);
inline AnsiString D2H(int64_t N, int A) { return Dec2Hex(N, A); }
int64_t Hex2Dec(const AnsiString& S);
inline int64_t H2D(const AnsiString& S) { return Hex2Dec(S); }
AnsiString Dec2Numb(int64_t N, int Len, int Base);
int64_t Numb2Dec(const AnsiString& S, int Base);
int RomanToInt(const AnsiString& S);
AnsiString IntToRoman(int Value);
AnsiString IntToBin(int64_t Value, int Digits, int Spaces);

int FindPart(const AnsiString& HelpWilds, const AnsiString& InputStr);
bool IsWild(AnsiString InputStr, AnsiString Wilds, bool IgnoreCase);

AnsiString XorString(const AnsiString& Key, const AnsiString& Src);
AnsiString XorEncode(const AnsiString& Key, const AnsiString& Source);
AnsiString XorDecode(const AnsiString& Key, const AnsiString& Source);

// The parameter after the switch among Params (Params[0] is the program).
AnsiString GetCmdLineArgOf(const std::vector<AnsiString>& Params, const AnsiString& Switch,
                           const TCharSet& SwitchChars);

#ifdef _WIN32
AnsiString StrToOem(const AnsiString& AnsiStr);
AnsiString OemToAnsiStr(const AnsiString& OemStr);
// CompareStringA with the thread locale in string-sort order: -1, 0, 1.
int CompStr(const AnsiString& S1, const AnsiString& S2);
int CompText(const AnsiString& S1, const AnsiString& S2);
// Looks the switch up among the program's own parameters.
AnsiString GetCmdLineArg(const AnsiString& Switch, const TCharSet& SwitchChars);
#endif

// Start-up table entries of the string routines.
void ExStrUtilInitialize();
void ExStrUtilFinalize();
