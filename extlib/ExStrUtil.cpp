// Portable text routines of the extended library on 8-bit strings.
#include "extlib/ExStrUtil.h"

#include <algorithm>

const TCharSet WordDelimiters{' ', '\t', '\r', '\n'};

namespace {

unsigned char U(char C) { return static_cast<unsigned char>(C); }

char UpChar(char C) {
  unsigned char B = U(C);
  if (B >= 'a' && B <= 'z') return static_cast<char>(B - 32);
  // Latin-1 letters of code page 1252, except the division sign.
  if (B >= 0xE0 && B <= 0xFE && B != 0xF7) return static_cast<char>(B - 32);
  if (B == 0x9A || B == 0x9C || B == 0x9E) return static_cast<char>(B - 16);  // š œ ž
  if (B == 0xFF) return static_cast<char>(0x9F);                              // ÿ
  return C;
}

char LowChar(char C) {
  unsigned char B = U(C);
  if (B >= 'A' && B <= 'Z') return static_cast<char>(B + 32);
  if (B >= 0xC0 && B <= 0xDE && B != 0xD7) return static_cast<char>(B + 32);
  if (B == 0x8A || B == 0x8C || B == 0x8E) return static_cast<char>(B + 16);
  if (B == 0x9F) return static_cast<char>(0xFF);
  return C;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

bool IsEmptyStr(const AnsiString& S, const TCharSet& EmptyChars) {
  return std::all_of(S.begin(), S.end(), [&](char C) { return EmptyChars.Contains(C); });
}

AnsiString ReplaceStr(const AnsiString& S, const AnsiString& Srch, const AnsiString& Replace) {
  if (Srch.empty()) return S;
  AnsiString R;
  size_t From = 0;
  for (;;) {
    size_t P = S.find(Srch, From);
    if (P == AnsiString::npos) break;
    R.append(S, From, P - From);
    R += Replace;
    From = P + Srch.size();
  }
  R.append(S, From, AnsiString::npos);
  return R;
}

AnsiString DelChars(const AnsiString& S, char Chr) {
  AnsiString R;
  for (char C : S)
    if (C != Chr) R += C;
  return R;
}

AnsiString DelSpace(const AnsiString& S) { return DelChars(S, ' '); }

AnsiString DelBSpace(const AnsiString& S) {
  size_t I = S.find_first_not_of(' ');
  return I == AnsiString::npos ? AnsiString() : S.substr(I);
}

AnsiString DelESpace(const AnsiString& S) {
  size_t I = S.find_last_not_of(' ');
  return I == AnsiString::npos ? AnsiString() : S.substr(0, I + 1);
}

AnsiString DelRSpace(const AnsiString& S) { return DelBSpace(DelESpace(S)); }

AnsiString DelSpace1(const AnsiString& S) {
  AnsiString R;
  for (size_t I = 0; I < S.size(); ++I)
    if (!(S[I] == ' ' && I > 0 && S[I - 1] == ' ')) R += S[I];
  return R;
}

AnsiString Tab2Space(const AnsiString& S, int Numb) {
  AnsiString Spaces = MakeStr(' ', Numb);
  AnsiString R;
  for (char C : S) {
    if (C == '\t')
      R += Spaces;
    else
      R += C;
  }
  return R;
}

AnsiString MakeStr(char C, int N) { return N < 1 ? AnsiString() : AnsiString(static_cast<size_t>(N), C); }

int NPos(const AnsiString& C, const AnsiString& S, int N) {
  // An empty text occurs nowhere (searching for it would never advance).
  if (C.empty() || N < 1) return 0;
  size_t From = 0;
  size_t P = AnsiString::npos;
  for (int K = 0; K < N; ++K) {
    P = S.find(C, From);
    if (P == AnsiString::npos) return 0;
    From = P + 1;
  }
  return static_cast<int>(P) + 1;
}

AnsiString AddChar(char C, const AnsiString& S, int N) {
  if (static_cast<int>(S.size()) >= N) return S;
  return MakeStr(C, N - static_cast<int>(S.size())) + S;
}

AnsiString AddCharR(char C, const AnsiString& S, int N) {
  if (static_cast<int>(S.size()) >= N) return S;
  return S + MakeStr(C, N - static_cast<int>(S.size()));
}

AnsiString LeftStr(const AnsiString& S, int N) { return AddCharR(' ', S, N); }
AnsiString RightStr(const AnsiString& S, int N) { return AddChar(' ', S, N); }

AnsiString Copy2Symb(const AnsiString& S, char Symb) {
  size_t P = S.find(Symb);
  return P == AnsiString::npos ? S : S.substr(0, P);
}

AnsiString Copy2SymbDel(AnsiString& S, char Symb) {
  AnsiString R = Copy2Symb(S, Symb);
  S = DelBSpace(S.substr(R.size()));
  return R;
}

AnsiString Copy2Space(const AnsiString& S) { return Copy2Symb(S, ' '); }
AnsiString Copy2SpaceDel(AnsiString& S) { return Copy2SymbDel(S, ' '); }

AnsiString AnsiUpperCaseA(const AnsiString& S) {
  AnsiString R = S;
  for (char& C : R) C = UpChar(C);
  return R;
}

AnsiString AnsiLowerCaseA(const AnsiString& S) {
  AnsiString R = S;
  for (char& C : R) C = LowChar(C);
  return R;
}

AnsiString AnsiProperCase(const AnsiString& S, const TCharSet& WordDelims) {
  AnsiString R = AnsiLowerCaseA(S);
  for (size_t I = 0; I < R.size(); ++I)
    if (!WordDelims.Contains(R[I]) && (I == 0 || WordDelims.Contains(R[I - 1]))) R[I] = UpChar(R[I]);
  return R;
}

int WordCount(const AnsiString& S, const TCharSet& WordDelims) {
  int N = 0;
  for (size_t I = 0; I < S.size(); ++I)
    if (!WordDelims.Contains(S[I]) && (I == 0 || WordDelims.Contains(S[I - 1]))) ++N;
  return N;
}

int WordPosition(int N, const AnsiString& S, const TCharSet& WordDelims) {
  int Count = 0;
  for (size_t I = 0; I < S.size(); ++I)
    if (!WordDelims.Contains(S[I]) && (I == 0 || WordDelims.Contains(S[I - 1])))
      if (++Count == N) return static_cast<int>(I) + 1;
  return 0;
}

AnsiString ExtractWordPos(int N, const AnsiString& S, const TCharSet& WordDelims, int& Pos) {
  Pos = WordPosition(N, S, WordDelims);
  if (Pos == 0) return AnsiString();
  size_t I = static_cast<size_t>(Pos) - 1;
  size_t E = I;
  while (E < S.size() && !WordDelims.Contains(S[E])) ++E;
  return S.substr(I, E - I);
}

AnsiString ExtractWord(int N, const AnsiString& S, const TCharSet& WordDelims) {
  int Pos;
  return ExtractWordPos(N, S, WordDelims, Pos);
}

AnsiString ExtractDelimited(int N, const AnsiString& S, const TCharSet& Delims) {
  if (N < 1) return AnsiString();
  int Field = 1;
  AnsiString R;
  for (char C : S) {
    if (Delims.Contains(C)) {
      if (Field == N) return R;
      ++Field;
    } else if (Field == N) {
      R += C;
    }
  }
  return Field == N ? R : AnsiString();
}

AnsiString ExtractSubstr(const AnsiString& S, int& Pos, const TCharSet& Delims) {
  if (Pos < 1) Pos = 1;
  size_t I = static_cast<size_t>(Pos) - 1;
  if (I >= S.size()) return AnsiString();
  size_t E = I;
  while (E < S.size() && !Delims.Contains(S[E])) ++E;
  Pos = static_cast<int>(E < S.size() ? E + 2 : E + 1);
  return S.substr(I, E - I);
}

bool IsWordPresent(const AnsiString& W, const AnsiString& S, const TCharSet& WordDelims) {
  int N = WordCount(S, WordDelims);
  for (int I = 1; I <= N; ++I)
    if (ExtractWord(I, S, WordDelims) == W) return true;
  return false;
}

AnsiString QuotedString(const AnsiString& S, char Quote) {
  AnsiString R(1, Quote);
  for (char C : S) {
    R += C;
    if (C == Quote) R += C;
  }
  R += Quote;
  return R;
}

AnsiString ExtractQuotedString(const AnsiString& S, char Quote) {
  if (S.empty() || S[0] != Quote) return S;
  AnsiString R;
  size_t I = 1;
  while (I < S.size()) {
    if (S[I] == Quote) {
      if (I + 1 < S.size() && S[I + 1] == Quote) {
        R += Quote;
        I += 2;
        continue;
      }
      break;  // the closing quote
    }
    R += S[I++];
  }
  return R;
}

AnsiString Numb2USA(const AnsiString& S) {
  AnsiString R = S;
  for (int I = static_cast<int>(R.size()) - 3; I > 0; I -= 3) R.insert(static_cast<size_t>(I), 1, ',');
  return R;
}

AnsiString CenterStr(const AnsiString& S, int Len) {
  int L = static_cast<int>(S.size());
  if (L >= Len) return S;
  AnsiString R = MakeStr(' ', Len / 2 - L / 2) + S;
  return AddCharR(' ', R, Len);
}

AnsiString Dec2Hex(int64_t N, int A) {
  static const char Digits[] = "0123456789ABCDEF";
  uint64_t V = static_cast<uint64_t>(N);
  AnsiString R;
  do {
    R.insert(R.begin(), Digits[V & 15]);
    V >>= 4;
  } while (V != 0);
  return AddChar('0', R, A);
}

int64_t Hex2Dec(const AnsiString& S) {
  size_t I = (!S.empty() && S[0] == '$') ? 1 : 0;
  if (I >= S.size()) return 0;
  uint64_t V = 0;
  for (; I < S.size(); ++I) {
    int D = HexDigit(S[I]);
    if (D < 0 || (V >> 60) != 0) return 0;  // not hexadecimal, or too long for 64 bits
    V = (V << 4) | static_cast<uint64_t>(D);
  }
  return static_cast<int64_t>(V);
}

AnsiString Dec2Numb(int64_t N, int Len, int Base) {
  if (Base < 2 || Base > 36) return AnsiString();
  static const char Digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  bool Neg = N < 0;
  uint64_t V = Neg ? 0 - static_cast<uint64_t>(N) : static_cast<uint64_t>(N);
  AnsiString R;
  do {
    R.insert(R.begin(), Digits[V % static_cast<uint64_t>(Base)]);
    V /= static_cast<uint64_t>(Base);
  } while (V != 0);
  R = AddChar('0', R, Neg ? Len - 1 : Len);
  return Neg ? "-" + R : R;
}

int64_t Numb2Dec(const AnsiString& S, int Base) {
  if (Base < 2 || Base > 36) return 0;
  uint64_t V = 0;
  for (char C : AnsiUpperCaseA(S)) {
    int D = (C >= 'A' && C <= 'Z') ? C - 'A' + 10 : C - '0';
    V = V * static_cast<uint64_t>(Base) + static_cast<uint64_t>(static_cast<int64_t>(D));
  }
  return static_cast<int64_t>(V);
}

namespace {
int RomanValue(char C) {
  switch (UpChar(C)) {
    case 'I': return 1;
    case 'V': return 5;
    case 'X': return 10;
    case 'L': return 50;
    case 'C': return 100;
    case 'D': return 500;
    case 'M': return 1000;
    default: return 0;
  }
}
}  // namespace

int RomanToInt(const AnsiString& S) {
  size_t I = 0;
  bool Neg = !S.empty() && S[0] == '-';
  if (Neg) I = 1;
  long long R = 0;
  while (I < S.size()) {
    int V = RomanValue(S[I]);
    if (V == 0) return 0;
    int Next = I + 1 < S.size() ? RomanValue(S[I + 1]) : 0;
    if (Next > V) {
      R += Next - V;
      I += 2;
    } else {
      R += V;
      ++I;
    }
    if (R > 0x7FFFFFFF) return 0;  // longer than any int can hold
  }
  return static_cast<int>(Neg ? -R : R);
}

AnsiString IntToRoman(int Value) {
  if (Value < 1) return AnsiString();
  AnsiString R = MakeStr('M', Value / 1000);
  auto Digit = [&R](int D, char One, char Five, char Ten) {
    if (D == 9) {
      R += One;
      R += Ten;
    } else if (D >= 5) {
      R += Five;
      R += MakeStr(One, D - 5);
    } else if (D == 4) {
      R += One;
      R += Five;
    } else {
      R += MakeStr(One, D);
    }
  };
  Digit(Value / 100 % 10, 'C', 'D', 'M');
  Digit(Value / 10 % 10, 'X', 'L', 'C');
  Digit(Value % 10, 'I', 'V', 'X');
  return R;
}

AnsiString IntToBin(int64_t Value, int Digits, int Spaces) {
  if (Digits > 32) Digits = 32;
  AnsiString R;
  for (int Left = Digits; Left >= 1; --Left) {
    if (Spaces >= 1 && Left % Spaces == 0) R += ' ';
    R += ((static_cast<uint64_t>(Value) >> (Left - 1)) & 1) ? '1' : '0';
  }
  return R;
}

int FindPart(const AnsiString& HelpWilds, const AnsiString& InputStr) {
  if (HelpWilds.find('?') == AnsiString::npos) {
    size_t P = InputStr.find(HelpWilds);
    return P == AnsiString::npos ? 0 : static_cast<int>(P) + 1;
  }
  if (HelpWilds.size() > InputStr.size()) return 0;
  for (size_t I = 0; I + HelpWilds.size() <= InputStr.size(); ++I) {
    bool Ok = true;
    for (size_t J = 0; J < HelpWilds.size() && Ok; ++J)
      Ok = HelpWilds[J] == '?' || HelpWilds[J] == InputStr[I + J];
    if (Ok) return static_cast<int>(I) + 1;
  }
  return 0;
}

bool IsWild(AnsiString InputStr, AnsiString Wilds, bool IgnoreCase) {
  if (InputStr == Wilds) return true;
  for (size_t P; (P = Wilds.find("**")) != AnsiString::npos;) Wilds.erase(P, 1);
  if (Wilds == "*") return true;
  if (IgnoreCase) {
    InputStr = AnsiUpperCaseA(InputStr);
    Wilds = AnsiUpperCaseA(Wilds);
  }
  if (InputStr.empty() || Wilds.empty()) return false;
  size_t I = 0, W = 0;
  const size_t LI = InputStr.size(), LW = Wilds.size();
  while (I < LI && W < LW) {
    char C = Wilds[W];
    if (C == '*') {
      size_t NextStar = Wilds.find('*', W + 1);
      if (NextStar == AnsiString::npos) {
        AnsiString Seg = Wilds.substr(W + 1);
        if (Seg.empty()) return true;
        if (Seg.size() > LI - I) return false;
        // The last segment has to sit at the very end of the input.
        for (size_t K = 0; K < Seg.size(); ++K) {
          char SC = Seg[Seg.size() - 1 - K];
          if (SC != '?' && SC != InputStr[LI - 1 - K]) return false;
        }
        return true;
      }
      AnsiString Seg = Wilds.substr(W + 1, NextStar - W - 1);
      int Found = FindPart(Seg, InputStr.substr(I));
      if (Found == 0) return false;
      I += static_cast<size_t>(Found) - 1 + Seg.size();
      W = NextStar;
      continue;
    }
    if (C != '?' && C != InputStr[I]) return false;
    ++I;
    ++W;
  }
  if (I < LI) return false;
  if (W < LW) return Wilds[LW - 1] == '*';
  return true;
}

AnsiString XorString(const AnsiString& Key, const AnsiString& Src) {
  AnsiString R = Src;
  if (Key.empty()) return R;
  for (size_t I = 0; I < R.size(); ++I) R[I] = static_cast<char>(U(R[I]) ^ U(Key[I % Key.size()]));
  return R;
}

AnsiString XorEncode(const AnsiString& Key, const AnsiString& Source) {
  static const char Digits[] = "0123456789abcdef";
  AnsiString X = XorString(Key, Source);
  AnsiString R;
  R.reserve(X.size() * 2);
  for (char C : X) {
    R += Digits[U(C) >> 4];
    R += Digits[U(C) & 15];
  }
  return R;
}

AnsiString XorDecode(const AnsiString& Key, const AnsiString& Source) {
  AnsiString R;
  for (size_t I = 0; I + 1 < Source.size(); I += 2) {
    int H = HexDigit(Source[I]), L = HexDigit(Source[I + 1]);
    unsigned char C = (H < 0 || L < 0) ? ' ' : static_cast<unsigned char>(H * 16 + L);
    size_t Index = I / 2;
    if (!Key.empty()) C = static_cast<unsigned char>(C ^ U(Key[Index % Key.size()]));
    R += static_cast<char>(C);
  }
  return R;
}

AnsiString GetCmdLineArgOf(const std::vector<AnsiString>& Params, const AnsiString& Switch,
                           const TCharSet& SwitchChars) {
  for (size_t I = 1; I < Params.size(); ++I) {
    const AnsiString& P = Params[I];
    if (!SwitchChars.Empty() && (P.size() < 2 || !SwitchChars.Contains(P[0]))) continue;
    if (P.empty()) continue;
    if (AnsiUpperCaseA(P.substr(1)) == AnsiUpperCaseA(Switch))
      return I + 1 < Params.size() ? Params[I + 1] : AnsiString();
  }
  return AnsiString();
}

void ExStrUtilInitialize() {}
void ExStrUtilFinalize() {}
