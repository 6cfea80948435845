// Preloaded into a program under test (LD_PRELOAD) to inject the faults of a machine under pressure:
//   MORVANE_FAIL_ALLOCATION=N     the Nth malloc/calloc/realloc of the process fails once with ENOMEM
//   MORVANE_FAIL_ALLOCATIONS_FROM=N   the Nth and every later allocation fails: memory that has run out
//   MORVANE_COUNT_ALLOCATIONS=F   the number of allocations made is written to file F at exit, and on a
//                                 second line the number made before the first signal handler was set
//                                 (morvane-cli sets its handlers once its locale is loaded)
//   MORVANE_SLOW_FILE_WRITES=MS   each write() to a regular file waits MS milliseconds first
//   MORVANE_NO_UNNAMED_FILES=1    open() with O_TMPFILE fails with EOPNOTSUPP, as on a file system without
//   them
//   MORVANE_SLOW_NAMING=MS        a temporary name, once made (mkstemp, or linkat to a ".morvane-" name),
//                                 waits MS milliseconds before the caller learns of it
//   MORVANE_FAIL_OPEN=TEXT:ERRNO  open() of a path that holds TEXT fails with errno ERRNO
// glibc only: the real allocator is reached through its __libc_ entry points, so nothing here allocates.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
}

namespace {

long gAllocations = 0;
long gAllocationsBeforeHandlers = -1;
long gFailAt = -2;    // -2: the environment not read yet; -1: no failure
long gFailFrom = -1;  // -1: none

long EnvironmentNumber(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atol(value) : -1;
}

bool NextAllocationFails() {
  if (gFailAt == -2) {
    gFailAt = EnvironmentNumber("MORVANE_FAIL_ALLOCATION");
    gFailFrom = EnvironmentNumber("MORVANE_FAIL_ALLOCATIONS_FROM");
  }
  ++gAllocations;
  if (gAllocations != gFailAt && (gFailFrom < 0 || gAllocations < gFailFrom)) return false;
  errno = ENOMEM;
  return true;
}

__attribute__((destructor)) void ReportAllocations() {
  const char* file = std::getenv("MORVANE_COUNT_ALLOCATIONS");
  if (file == nullptr) return;
  const long count = gAllocations;
  if (FILE* out = std::fopen(file, "w")) {
    std::fprintf(out, "%ld\n%ld\n", count, gAllocationsBeforeHandlers);
    std::fclose(out);
  }
}

void Pause(long milliseconds) {
  const timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000};
  nanosleep(&pause, nullptr);
}

// The errno that MORVANE_FAIL_OPEN gives an open of `path`, or 0.
int OpenFailure(const char* path) {
  const char* setting = std::getenv("MORVANE_FAIL_OPEN");
  if (setting == nullptr) return 0;
  const char* colon = std::strrchr(setting, ':');
  if (colon == nullptr || colon == setting) return 0;
  const size_t length = static_cast<size_t>(colon - setting);
  for (const char* p = path; *p != '\0'; ++p) {
    if (std::strncmp(p, setting, length) == 0) return std::atoi(colon + 1);
  }
  return 0;
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  return NextAllocationFails() ? nullptr : __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  return NextAllocationFails() ? nullptr : __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  return NextAllocationFails() ? nullptr : __libc_realloc(block, size);
}

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("MORVANE_NO_UNNAMED_FILES") != nullptr) {
    errno = EOPNOTSUPP;
    return -1;
  }
  if (const int error = OpenFailure(path)) {
    errno = error;
    return -1;
  }
  return openat(AT_FDCWD, path, flags, mode);
}

ssize_t write(int fd, const void* bytes, size_t count) {
  static const long delay = EnvironmentNumber("MORVANE_SLOW_FILE_WRITES");
  struct stat info;
  if (delay > 0 && fd > 2 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) Pause(delay);
  return syscall(SYS_write, fd, bytes, count);
}

sighandler_t signal(int signalNumber, sighandler_t handler) {
  if (gAllocationsBeforeHandlers < 0) gAllocationsBeforeHandlers = gAllocations;
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(signalNumber, &action, &previous) != 0) return SIG_ERR;
  return previous.sa_handler;
}

// mkostemp is glibc's own, and not replaced here.
int mkstemp(char* name) {
  const int fd = mkostemp(name, 0);
  const long delay = EnvironmentNumber("MORVANE_SLOW_NAMING");
  if (fd >= 0 && delay > 0) Pause(delay);
  return fd;
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  const long result = syscall(SYS_linkat, fromFolder, from, toFolder, to, flags);
  const long delay = EnvironmentNumber("MORVANE_SLOW_NAMING");
  if (result == 0 && delay > 0 && std::strstr(to, ".morvane-") != nullptr) Pause(delay);
  return static_cast<int>(result);
}
}
