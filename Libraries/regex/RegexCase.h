// The system's case mapping of one 8-bit character, provided per platform:
// the ANSI code page's mapping on Windows, a code page 1252 table elsewhere.
#pragma once

char RegexSystemUpperCase(char ch);
char RegexSystemLowerCase(char ch);

// Code page 1252's mapping as Windows does it (the system mapping of builds
// without the window system).
char RegexUpperCase1252(char ch);
char RegexLowerCase1252(char ch);
