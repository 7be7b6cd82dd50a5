// Case mapping of builds without the window system: code page 1252.
#include "Libraries/regex/RegexCase.h"

char RegexSystemUpperCase(char ch) { return RegexUpperCase1252(ch); }
char RegexSystemLowerCase(char ch) { return RegexLowerCase1252(ch); }
