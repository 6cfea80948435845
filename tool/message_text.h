// What every front end needs to tell messages: the language the user asks for, and the texts of a template
// (tag names, words) inside one of the program's texts.
#pragma once

#include <string>

#include "tool/messages.h"

namespace morvane {

// The language of the messages the user asks for: Japanese when the locale's message category is Japanese
// (LC_ALL, else LC_MESSAGES, else LANG begins with "ja"; on Windows, a Japanese user interface language).
Language PreferredMessageLanguage();

// A text in the active code page (a tag name, a word of a template) inside one of the program's texts.
std::string CodePageTextForMessage(const char* text);

// A path as ResolvePath forms it (in the active code page), inside one of the program's texts as the system
// names the file: on POSIX with '/' between its folders.
std::string PathForMessage(const char* formed);

}  // namespace morvane
