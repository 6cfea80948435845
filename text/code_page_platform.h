// What only the platform halves of the code page implement (code_page_posix.cpp, code_page_win32.cpp).
#pragma once

#include <string>

namespace morvane {

// The code page the platform asks for (Windows: the ANSI code page; POSIX: MORVANE_CODEPAGE, else the
// locale's codeset). Returns 0 when MORVANE_CODEPAGE holds an unknown name; *codePage is then kCodePageNone.
int DetectPlatformCodePage(int* codePage);

// Makes the platform's code page active, with the platform's own lead-byte table where it has one
// (Windows: GetCPInfo of the ANSI code page). Returns DetectPlatformCodePage's result.
int ActivatePlatformCodePage();

// Converts a UTF-8 text into the active double-byte code page. 0 when a character has no form there.
int Utf8ToActiveCodePage(const char* utf8, std::string* converted);

}  // namespace morvane
