// --watch on Windows: not available (the command line reports it before anything runs).
#include "tool/cli/watch.h"
#include "tool/messages.h"

namespace morvane {

int CheckWatchable(const CliOptions&, std::string* reason) {
  *reason = FormatMessage(MessageId::kWatchUnavailable);
  return 0;
}

int WatchRuns(const CliOptions&, const std::function<int()>& run,
              const std::function<void(const std::string&)>&) {
  return run();
}

}  // namespace morvane
