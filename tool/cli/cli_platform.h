// What morvane-cli needs of the platform: its standard streams and the encodings around the active code page.
#pragma once

#include <string>

#include "tool/message_text.h"
#include "tool/messages.h"

namespace morvane {

// The processors the machine has online: how many records --rows runs at once unless -j says.
unsigned OnlineProcessors();

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

// The folder of the user's documents as --help names it: the one an install put beside the program (from
// .../bin, .../share/doc/morvane), when it holds language.md; else "docs", their folder in the source tree
// and in the Windows zip.
std::string DocumentsFolder();

// A path in the active code page as the file layer forms it (a datafile's), as a message shows it: in the
// program's encoding, with the platform's separators.
std::string CodePagePathForMessage(const char* path);

// One of the program's own texts in the active code page, to stand among the tag names it lists.
std::string ProgramTextForCodePage(const char* text);

}  // namespace morvane
