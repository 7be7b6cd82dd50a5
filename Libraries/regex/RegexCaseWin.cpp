// Case mapping through the system's ANSI code page.
#include <windows.h>

#include "Libraries/regex/RegexCase.h"

char RegexSystemUpperCase(char ch) {
  char buf[1] = {ch};
  CharUpperBuffA(buf, 1);
  return buf[0];
}

char RegexSystemLowerCase(char ch) {
  char buf[1] = {ch};
  CharLowerBuffA(buf, 1);
  return buf[0];
}
