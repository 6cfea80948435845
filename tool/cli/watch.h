// --watch: run, then run again whenever a file the last run read changes, until SIGINT.
#pragma once

#include <functional>
#include <string>

#include "tool/cli/cli_options.h"

namespace morvane {

// Whether the command line can be followed: HEADER and MAIN (as typed) must be files, or missing ones, not
// standard input, a pipe, a FIFO or a device, and one of them must be named. 0 with the reason otherwise;
// always 0 where --watch is not available.
int CheckWatchable(const CliOptions& given, std::string* reason);

// Runs `run` (one whole run of the command, returning its exit status), then again each time a file that the
// last run tried to read changes, appears or goes away, telling the status of each run as one line through
// `tell`. Files that the run writes (the -o and --deps files of `given`) start no run of their own. Returns 0
// once SIGINT has come, after the run under way, if any, has finished.
int WatchRuns(const CliOptions& given, const std::function<int()>& run,
              const std::function<void(const std::string& line)>& tell);

}  // namespace morvane
