// Preloaded into a program under test (LD_PRELOAD) to inject the faults of a machine under pressure:
//   MORVANE_FAIL_ALLOCATION=N     the Nth malloc/calloc/realloc of the process fails once with ENOMEM
//   MORVANE_FAIL_ALLOCATIONS_FROM=N   the Nth and every later allocation fails: memory that has run out
//   MORVANE_COUNT_ALLOCATIONS=F   the number of allocations made is written to file F at exit
//   MORVANE_SLOW_FILE_WRITES=MS   each write() to a regular file waits MS milliseconds first
//   MORVANE_NO_UNNAMED_FILES=1    open() with O_TMPFILE fails with EOPNOTSUPP, as on a file system without
//   them
// glibc only: the real allocator is reached through its __libc_ entry points, so nothing here allocates.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
}

namespace {

long gAllocations = 0;
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
    std::fprintf(out, "%ld\n", count);
    std::fclose(out);
  }
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
  return openat(AT_FDCWD, path, flags, mode);
}

ssize_t write(int fd, const void* bytes, size_t count) {
  static const long delay = EnvironmentNumber("MORVANE_SLOW_FILE_WRITES");
  struct stat info;
  if (delay > 0 && fd > 2 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    const timespec pause{delay / 1000, (delay % 1000) * 1000000};
    nanosleep(&pause, nullptr);
  }
  return syscall(SYS_write, fd, bytes, count);
}
}
