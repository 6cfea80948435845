// The command line of morvane-cli: its options, operands and exit statuses.
#pragma once

#include <string>

namespace morvane {

inline constexpr int kExitOk = 0;            // completed without a message
inline constexpr int kExitReadFailed = 1;    // completed, but a file could not be read
inline constexpr int kExitNotCompleted = 2;  // an expansion failed: nothing printed or written
inline constexpr int kExitNoSuchTag = 3;     // --value named no tag
inline constexpr int kExitUsage = 64;        // bad usage
inline constexpr int kExitCannotWrite = 74;  // the output could not be written

struct CliOptions {
  bool help = false;
  bool version = false;
  bool tags = false;
  bool hasOutput = false;
  std::string output;
  bool hasValue = false;
  std::string valueName;
  bool hasCodePage = false;
  std::string codePage;
  std::string headerPath;
  std::string mainPath;
};

// Reads the arguments after the program name. Returns 1, or 0 with a one-line reason in *error. With --help
// or --version the operands are not required.
int ParseCliArguments(int argc, const char* const* argv, CliOptions* options, std::string* error);

// The text of --help.
extern const char kCliUsage[];
extern const char kCliVersion[];

}  // namespace morvane
