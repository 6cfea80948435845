// What morvane-cli needs of the platform: its standard streams and the encodings around the active code page.
#pragma once

#include <string>

#include "tool/cli/cli_messages.h"

namespace morvane {

// The language of the messages the user asks for: Japanese when the locale's message category is Japanese
// (LC_ALL, else LC_MESSAGES, else LANG begins with "ja"; on Windows, a Japanese user interface language).
Language PreferredMessageLanguage();

// Sets the standard streams up for raw bytes.
void PrepareStreams();

// Converts a command-line argument from the locale's encoding into the active code page (unchanged when the
// two are the same). Returns 0 when the argument cannot be converted.
int ArgumentToCodePage(const char* argument, std::string* converted);

// One of the program's own texts (a message, the usage) as the terminal shows it: in the locale's encoding,
// or unchanged where the locale cannot represent it.
std::string ProgramTextForTerminal(const char* text);

// A command-line argument as it stands inside one of the program's texts (in the program's encoding), so that
// ProgramTextForTerminal shows it as typed.
std::string ArgumentForMessage(const char* argument);

// A text in the active code page (a tag name, a word of a template) inside one of the program's texts.
std::string CodePageTextForMessage(const char* text);

// One of the program's own texts in the active code page, to stand among the tag names it lists.
std::string ProgramTextForCodePage(const char* text);

}  // namespace morvane
