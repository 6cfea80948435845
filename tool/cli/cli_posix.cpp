// morvane-cli on POSIX: the program's texts are UTF-8; arguments and the terminal use the locale's codeset.
#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "engine/text.h"
#include "tool/cli/cli_platform.h"

namespace morvane {

namespace {

// The locale's codeset, with UTF-8 standing in for plain ASCII as the file layer does.
const char* LocaleCharset() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
      std::strcmp(codeset, "ASCII") == 0) {
    return "UTF-8";
  }
  return codeset;
}

bool IsUtf8(const char* charset) {
  return strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0;
}

// Converts a NUL-terminated text; 0 when a byte sequence is invalid or has no counterpart in `to`.
int Convert(const char* from, const char* to, const char* text, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char* in = const_cast<char*>(text);
  size_t inLeft = std::strlen(text);
  std::string result;
  char chunk[256];
  int ok = 1;
  for (;;) {
    char* outPtr = chunk;
    size_t outLeft = sizeof chunk;
    const size_t status = inLeft != 0 ? iconv(cd, &in, &inLeft, &outPtr, &outLeft)
                                      : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    result.append(chunk, sizeof chunk - outLeft);
    if (status != static_cast<size_t>(-1)) {
      if (inLeft == 0 && outPtr == chunk) break;
      continue;
    }
    if (errno != E2BIG) {
      ok = 0;
      break;
    }
  }
  iconv_close(cd);
  if (ok) *out = result;
  return ok;
}

}  // namespace

void PrepareStreams() {
  // A write beyond the file size limit then fails with EFBIG and is reported, instead of killing the process
  // and leaving its temporary file behind.
  signal(SIGXFSZ, SIG_IGN);
}

int ArgumentToCodePage(const char* argument, std::string* converted) {
  const char* target = ActiveCodePageCharset();
  int localeCodePage = kCodePageNone;
  if (target == nullptr ||
      (CodePageFromName(LocaleCharset(), &localeCodePage) && localeCodePage == ActiveCodePage())) {
    *converted = argument;
    return 1;
  }
  return Convert(LocaleCharset(), target, argument, converted);
}

std::string ProgramTextForTerminal(const char* text) {
  std::string converted;
  if (IsUtf8(LocaleCharset()) || !Convert("UTF-8", LocaleCharset(), text, &converted)) return text;
  return converted;
}

std::string ProgramTextForCodePage(const char* text) {
  const char* target = ActiveCodePageCharset();
  std::string converted;
  if (target == nullptr || IsUtf8(target) || !Convert("UTF-8", target, text, &converted)) return text;
  return converted;
}

}  // namespace morvane
