// The command line of morvane-cli: its options, operands and exit statuses.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace morvane {

inline constexpr int kExitOk = 0;            // completed without a message
inline constexpr int kExitReadFailed = 1;    // completed, but a file could not be read
inline constexpr int kExitNotCompleted = 2;  // an expansion failed: nothing printed or written
inline constexpr int kExitNoSuchTag = 3;     // --value named no tag
inline constexpr int kExitWarnings = 4;      // --strict, and the run gave a warning
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
  bool warn = false;                                             // --warn, also set by --strict
  bool strict = false;                                           // --strict
  bool watch = false;                                            // --watch
  std::vector<std::pair<std::string, std::string>> definitions;  // -D NAME=VALUE, in order
  bool hasDeps = false;
  std::string deps;
  bool hasDepsTarget = false;
  std::string depsTarget;
  std::string headerPath;
  std::string mainPath;
  // --rows DATA: one document per record of DATA.
  bool hasRows = false;
  std::string rows;
  bool hasRowsFormat = false;
  std::string rowsFormat;
  unsigned jobs = 0;  // -j N; 0: as many as the machine has processors online
  bool hasJobs = false;
  bool hasShard = false;
  uint64_t shardIndex = 0;  // --shard K/N: K - 1
  uint64_t shardCount = 1;  // N
  bool keepGoing = false;
};

// Most jobs -j takes.
inline constexpr unsigned kMaxJobs = 256;

// "-" as HEADER, MAIN or the output file: standard input, standard output.
inline bool IsStandardStream(const std::string& path) {
  return path == "-";
}

// Reads the arguments after the program name. Returns 1, or 0 with a one-line reason in *error (in the
// messages' language). With --help or --version the operands are not required. Long options may be
// abbreviated where that names one option alone.
int ParseCliArguments(int argc, const char* const* argv, CliOptions* options, std::string* error);

// The text of --help.
extern const char kCliUsage[];
extern const char kCliVersion[];

}  // namespace morvane
