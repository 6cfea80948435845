// morvane-cli on POSIX: the program's texts are UTF-8; arguments and the terminal use the locale's codeset.
#include <malloc.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <string>

#include "files/text_files.h"
#include "text/locale_charset_posix.h"
#include "text/text.h"
#include "tool/cli/cli_options.h"
#include "tool/cli/cli_platform.h"

namespace morvane {

namespace {

// SIGINT and SIGTERM end the program as usual, but not before a save in progress has taken its temporary
// file away.
void OnTerminationSignal(int signalNumber) {
  RemoveUnfinishedWrite();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

unsigned OnlineProcessors() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online < 1 ? 1 : online > kMaxJobs ? kMaxJobs : static_cast<unsigned>(online);
}

void PrepareStreams() {
  // Every expansion takes three working buffers of 1 MiB and gives them back: kept in the heap rather than
  // mapped and unmapped each time, they cost no page faults after the first (a run of --rows expands two
  // texts for each of thousands of records).
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  signal(SIGINT, OnTerminationSignal);
  signal(SIGTERM, OnTerminationSignal);
  // A write beyond the file size limit then fails with EFBIG, and one into a closed pipe with EPIPE: both are
  // reported as failed writes instead of killing the process.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

int ArgumentToCodePage(const char* argument, std::string* converted) {
  const char* target = ActiveCodePageCharset();
  int localeCodePage = kCodePageNone;
  if (target == nullptr ||
      (CodePageFromName(LocaleCharset(), &localeCodePage) && localeCodePage == ActiveCodePage())) {
    *converted = argument;
    return 1;
  }
  return ConvertText(LocaleCharset(), target, argument, converted);
}

std::string ArgumentForMessage(const char* argument) {
  std::string converted;
  if (IsUtf8Charset(LocaleCharset()) || !ConvertText(LocaleCharset(), "UTF-8", argument, &converted)) {
    return argument;
  }
  return converted;
}

std::string ProgramTextForTerminal(const char* text) {
  std::string converted;
  if (IsUtf8Charset(LocaleCharset()) || !ConvertText("UTF-8", LocaleCharset(), text, &converted)) return text;
  return converted;
}

std::string DocumentsFolder() {
  char program[4096];
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length > 0) {
    program[length] = '\0';
    std::string folder(program);
    folder = folder.substr(0, folder.rfind('/') + 1) + MORVANE_DOCUMENTS_FROM_PROGRAM;
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) != nullptr &&
        access((std::string(resolved) + "/language.md").c_str(), R_OK) == 0) {
      return resolved;
    }
  }
  return "docs";
}

std::string CodePagePathForMessage(const char* path) {
  return PathForMessage(path);
}

std::string ProgramTextForCodePage(const char* text) {
  const char* target = ActiveCodePageCharset();
  std::string converted;
  if (target == nullptr || IsUtf8Charset(target) || !ConvertText("UTF-8", target, text, &converted))
    return text;
  return converted;
}

}  // namespace morvane
