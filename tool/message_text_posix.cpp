// Messages on POSIX: the program's texts are UTF-8; a template's texts are converted from the active code
// page.
#include <cstdlib>

#include "text/locale_charset_posix.h"
#include "text/text.h"
#include "tool/message_text.h"

namespace morvane {

Language PreferredMessageLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return IsJapaneseLocaleName(value) ? Language::kJapanese : Language::kEnglish;
    }
  }
  return Language::kEnglish;
}

std::string CodePageTextForMessage(const char* text) {
  const char* charset = ActiveCodePageCharset();
  std::string converted;
  if (charset == nullptr || IsUtf8Charset(charset) || !ConvertText(charset, "UTF-8", text, &converted))
    return text;
  return converted;
}

std::string PathForMessage(const char* formed) {
  std::string slashed = formed;
  // By characters, so that a second byte 0x5C (the 表 of code page 932) stays what it is.
  for (size_t i = 0; i < slashed.size(); i += static_cast<size_t>(CharLength(slashed.c_str() + i))) {
    if (slashed[i] == '\\') slashed[i] = '/';
  }
  return CodePageTextForMessage(slashed.c_str());
}

}  // namespace morvane
