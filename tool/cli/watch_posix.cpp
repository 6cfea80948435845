// --watch on Linux: inotify on every file the last run tried to read and on the folder it lies in (an
// editor's save by rename replaces the file, and a missing datafile may appear), and a look at the files
// themselves to tell a change from the run's own writes and from the rest of a folder's traffic.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "files/text_files.h"
#include "tool/cli/cli_platform.h"
#include "tool/cli/watch.h"
#include "tool/followed_files.h"
#include "tool/messages.h"

namespace morvane {

namespace {

// Also without any event, the files are looked at this often: file systems that tell inotify nothing
// (network ones) are followed too, if more slowly.
constexpr int kLookMilliseconds = 2000;
// An editor's save takes several steps: a change is taken once the files have been quiet this long...
constexpr int kQuietMilliseconds = 100;
// ...or after this many such waits.
constexpr int kMostQuietWaits = 10;

constexpr uint32_t kFileEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr uint32_t kFolderEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                   IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

volatile sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
  gInterrupted = 1;
}

// One inotify instance over the places where the followed files can change.
class Watches {
 public:
  explicit Watches(const FollowedFiles& followed) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ < 0) return;
    // A watch that cannot be set (the system's limit) leaves the others, and the looks.
    for (const std::string& place : followed.PlacesToWatch()) {
      const bool folder = ReadFileStamp(place.c_str()).folder;
      inotify_add_watch(fd_, place.c_str(), folder ? kFolderEvents : kFileEvents);
    }
  }
  ~Watches() {
    if (fd_ >= 0) close(fd_);
  }
  Watches(const Watches&) = delete;
  Watches& operator=(const Watches&) = delete;

  // Waits up to `milliseconds` for an event, SIGINT unblocked meanwhile; true when events came (they are
  // read away: what changed is told by the files themselves).
  bool Wait(int milliseconds, const sigset_t& unblocked) const {
    pollfd events{fd_, POLLIN, 0};
    const timespec timeout{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    const int ready = ppoll(fd_ >= 0 ? &events : nullptr, fd_ >= 0 ? 1 : 0, &timeout, &unblocked);
    if (ready <= 0) return false;
    alignas(inotify_event) char buffer[4096];
    while (read(fd_, buffer, sizeof buffer) > 0) {
    }
    return true;
  }

 private:
  int fd_;
};

// One run, with the files it tried to read as it found them.
int RunFollowing(const CliOptions& given, const std::function<int()>& run, FollowedFiles* followed) {
  followed->StartRecording();
  const int status = run();
  followed->StopRecording();
  if (given.hasOutput && !IsStandardStream(given.output)) followed->TakeAsWritten(given.output);
  if (given.hasDeps) followed->TakeAsWritten(given.deps);
  return status;
}

}  // namespace

int CheckWatchable(const CliOptions& given, std::string* reason) {
  if (given.headerPath.empty() && given.mainPath.empty()) {
    *reason = FormatMessage(MessageId::kWatchNothing);
    return 0;
  }
  for (const std::string* path : {&given.headerPath, &given.mainPath}) {
    if (IsStandardStream(*path)) {
      *reason = FormatMessage(MessageId::kWatchStandardInput);
      return 0;
    }
    // A missing file is fine: the runs wait for it. A folder is the run's own read failure.
    struct stat info;
    if (!path->empty() && stat(path->c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
        !S_ISDIR(info.st_mode)) {
      *reason = FormatMessage(MessageId::kWatchNotAFile, {ArgumentForMessage(path->c_str())});
      return 0;
    }
  }
  return 1;
}

int WatchRuns(const CliOptions& given, const std::function<int()>& run,
              const std::function<void(const std::string& line)>& tell) {
  // SIGINT waits while a run is under way, so that no run is cut off: it is taken in the waits between runs.
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigset_t interrupt;
  sigset_t unblocked;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  sigprocmask(SIG_BLOCK, &interrupt, &unblocked);
  sigdelset(&unblocked, SIGINT);

  FollowedFiles followed;
  int status = RunFollowing(given, run, &followed);
  tell(FormatMessage(MessageId::kWatchStarted,
                     {std::to_string(status), std::to_string(followed.Files().size())}));
  for (;;) {
    // Watches are set anew after every look, so a folder that has just appeared is watched too; what
    // changed before they were set is seen by the look that follows.
    const Watches watches(followed);
    const FollowedFiles::File* changed = followed.FirstChanged();
    if (changed == nullptr) {
      if (watches.Wait(kLookMilliseconds, unblocked)) {
        for (int i = 0; i < kMostQuietWaits && !gInterrupted; ++i) {
          if (!watches.Wait(kQuietMilliseconds, unblocked)) break;
        }
      }
      if (gInterrupted) return kExitOk;
      changed = followed.FirstChanged();
      if (changed == nullptr) continue;
    }
    if (gInterrupted) return kExitOk;
    const std::string name = ArgumentForMessage(changed->name.c_str());
    status = RunFollowing(given, run, &followed);
    tell(FormatMessage(MessageId::kWatchRerun, {name, std::to_string(status)}));
  }
}

}  // namespace morvane
