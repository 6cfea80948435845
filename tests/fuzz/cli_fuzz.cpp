// morvane-cli as a whole, in process, over a private folder: the input makes files, folders and links there
// (names and contents), standard input and the arguments, and runs the program's own main. Then: the status
// is one the program documents; no temporary file is left; only the files named by -o and --deps changed
// (kept their mode, and are not the HEADER or MAIN the run read); a dependency file only next to a written
// result, and without what make cannot read.
//
// Input: records separated by NUL bytes, each a kind byte and its text:
//   f NAME \x01 CONTENT   a file          d NAME              a folder
//   l NAME \x01 TARGET    a symbolic link h NAME \x01 OLD     a second name of a file
//   a ARGUMENT            one argument    i CONTENT           standard input
// Names and arguments never leave the folder: no leading '/', no "..", no '\' (a separator to the file
// layer), and a '/' only inside a name that was made.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tool/cli/cli_options.h"

// tool/cli/cli.cpp, built into this harness with its main renamed.
int MorvaneCliMain(int argc, char** argv);

namespace morvane::fuzz {
namespace {

std::string gRoot;    // the harness's own folder
std::string gFolder;  // the run's folder, emptied before every input
std::string gInput;   // the file standard input reads

struct Entry {
  mode_t mode = 0;
  dev_t device = 0;
  ino_t inode = 0;
  std::string content;  // of a regular file, or a link's target
};

// Every entry below `folder`, by its path relative to it (links not followed).
void Snapshot(const std::string& folder, const std::string& prefix, std::map<std::string, Entry>* entries) {
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return;
  while (const dirent* item = readdir(directory)) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    Entry entry;
    entry.mode = info.st_mode;
    entry.device = info.st_dev;
    entry.inode = info.st_ino;
    if (S_ISREG(info.st_mode)) {
      if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) entry.content.append(chunk, got);
        std::fclose(file);
      }
    } else if (S_ISLNK(info.st_mode)) {
      char target[PATH_MAX];
      const ssize_t length = readlink(path.c_str(), target, sizeof target);
      if (length > 0) entry.content.assign(target, static_cast<size_t>(length));
    }
    (*entries)[prefix + name] = entry;
    if (S_ISDIR(info.st_mode)) Snapshot(path, prefix + name + "/", entries);
  }
  closedir(directory);
}

void RemoveAll(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* directory = opendir(path.c_str())) {
      std::vector<std::string> names;
      while (const dirent* item = readdir(directory)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
          names.emplace_back(item->d_name);
      }
      closedir(directory);
      for (const std::string& name : names) RemoveAll(path + "/" + name);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// A name inside the folder: '\' and NUL become '_', no component is empty, "." or "..", none begins with the
// temporary files' prefix. Empty when nothing usable is left.
std::string SafeName(const std::string& raw) {
  std::string name;
  std::string component;
  auto flush = [&]() {
    if (component.empty() || component == "." || component == "..") {
      component.clear();
      return;
    }
    if (component.rfind(".morvane-", 0) == 0) component[0] = '_';
    if (!name.empty()) name += '/';
    name += component;
    component.clear();
  };
  for (char c : raw.substr(0, 80)) {
    if (c == '/') {
      flush();
    } else {
      component += (c == '\\' || c == '\0') ? '_' : c;
    }
  }
  flush();
  return name;
}

// An argument that cannot name anything outside the folder: no '/' or '\' unless it is a made name.
std::string SafeArgument(std::string argument, const std::set<std::string>& made) {
  if (made.count(argument) != 0) return argument;
  for (char& c : argument) {
    if (c == '/' || c == '\\') c = '_';
  }
  return argument;
}

bool MakeParents(const std::string& name) {
  for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
    const std::string parent = gFolder + "/" + name.substr(0, slash);
    if (mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return std::fclose(file) == 0 && ok;
}

// The path an output name leads to once links are followed, for comparison with the entries: relative to
// the folder when it lies there.
std::string Resolved(const std::string& name) {
  const std::string path = gFolder + "/" + name;
  char resolved[PATH_MAX];
  std::string full;
  if (realpath(path.c_str(), resolved) != nullptr) {
    full = resolved;
  } else {
    // A file yet to be made: its folder resolved, then its own name.
    const size_t slash = path.rfind('/');
    if (realpath(path.substr(0, slash).c_str(), resolved) == nullptr) return "";
    full = std::string(resolved) + path.substr(slash);
  }
  char folder[PATH_MAX];
  if (realpath(gFolder.c_str(), folder) == nullptr) return "";
  const std::string prefix = std::string(folder) + "/";
  return full.rfind(prefix, 0) == 0 ? full.substr(prefix.size()) : "";
}

struct Identity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
};

Identity IdentityOf(const std::string& path) {
  Identity identity;
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    identity = {true, info.st_dev, info.st_ino};
  }
  return identity;
}

}  // namespace
}  // namespace morvane::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace morvane::fuzz;
  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("TZ", "UTC", 1);
  setenv("SOURCE_DATE_EPOCH", "951827696", 1);
  unsetenv("MORVANE_CODEPAGE");
  char root[] = "/tmp/morvane-cli-fuzz-XXXXXX";
  if (mkdtemp(root) == nullptr) std::abort();
  gRoot = root;
  gFolder = gRoot + "/run";
  gInput = gRoot + "/stdin";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  using namespace morvane::fuzz;
  RemoveAll(gFolder);
  if (mkdir(gFolder.c_str(), 0755) != 0) std::abort();

  // The records.
  std::vector<std::string> arguments;
  std::set<std::string> made;
  std::string input;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t files = 0;
  for (size_t start = 0; start <= bytes.size() && files < 12 && arguments.size() < 24;) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string record = bytes.substr(start, end - start);
    start = end + 1;
    if (record.empty()) continue;
    const char kind = record[0];
    const std::string text = record.substr(1);
    const size_t split = text.find('\x01');
    const std::string first = text.substr(0, split);
    const std::string second = split == std::string::npos ? std::string() : text.substr(split + 1);
    if (kind == 'a') {
      arguments.push_back(text);
      continue;
    }
    if (kind == 'i') {
      input = text;
      continue;
    }
    const std::string name = SafeName(first);
    if (name.empty() || !MakeParents(name)) continue;
    const std::string path = gFolder + "/" + name;
    bool ok = false;
    switch (kind) {
      case 'f':
        ok = WriteFile(path, second.substr(0, 4096));
        break;
      case 'd':
        ok = mkdir(path.c_str(), 0755) == 0;
        break;
      case 'l': {
        const std::string target = SafeName(second);
        ok = !target.empty() && symlink(target.c_str(), path.c_str()) == 0;
        break;
      }
      case 'h': {
        const std::string old = SafeName(second);
        ok = !old.empty() && link((gFolder + "/" + old).c_str(), path.c_str()) == 0;
        break;
      }
      default:
        break;
    }
    if (ok) {
      made.insert(name);
      ++files;
    }
  }
  if (!WriteFile(gInput, input)) std::abort();
  std::vector<std::string> argv = {"morvane-cli"};
  for (const std::string& argument : arguments) argv.push_back(SafeArgument(argument, made));

  // What the run may change: the files -o and --deps name; what it must not replace: HEADER and MAIN.
  CliOptions options;
  std::string error;
  std::vector<const char*> parsed;
  for (size_t i = 1; i < argv.size(); ++i) parsed.push_back(argv[i].c_str());
  const bool usable =
      ParseCliArguments(static_cast<int>(parsed.size()), parsed.data(), &options, &error) != 0;
  std::set<std::string> outputs;
  std::string depsPath;
  if (usable && options.hasOutput && options.output != "-") outputs.insert(Resolved(options.output));
  if (usable && options.hasDeps) outputs.insert(depsPath = Resolved(options.deps));
  outputs.erase("");
  std::vector<Identity> inputs;
  if (usable) {
    for (const std::string* operand : {&options.headerPath, &options.mainPath}) {
      if (operand->empty()) continue;
      inputs.push_back(*operand == "-" ? IdentityOf(gInput) : IdentityOf(gFolder + "/" + *operand));
    }
  }

  std::map<std::string, Entry> before;
  Snapshot(gFolder, "", &before);

  // The run, in the folder, with standard input from its file and the output streams to the null device.
  char previous[PATH_MAX];
  if (getcwd(previous, sizeof previous) == nullptr || chdir(gFolder.c_str()) != 0) std::abort();
  const int savedInput = dup(0), savedOutput = dup(1), savedError = dup(2);
  const int input_fd = open(gInput.c_str(), O_RDONLY);
  const int null_fd = open("/dev/null", O_WRONLY);
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(input_fd, 0);
  dup2(null_fd, 1);
  dup2(null_fd, 2);
  std::vector<char*> argvPointers;
  for (std::string& argument : argv) argvPointers.push_back(argument.data());
  argvPointers.push_back(nullptr);
  const int status = MorvaneCliMain(static_cast<int>(argv.size()), argvPointers.data());
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedInput, 0);
  dup2(savedOutput, 1);
  dup2(savedError, 2);
  for (int fd : {savedInput, savedOutput, savedError, input_fd, null_fd}) close(fd);
  if (chdir(previous) != 0) std::abort();

  FUZZ_CHECK(status == kExitOk || status == kExitReadFailed || status == kExitNotCompleted ||
             status == kExitNoSuchTag || status == kExitWarnings || status == kExitUsage ||
             status == kExitCannotWrite);
  if (!usable) FUZZ_CHECK(status == kExitUsage);

  std::map<std::string, Entry> after;
  Snapshot(gFolder, "", &after);
  for (const auto& [path, entry] : after) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    FUZZ_CHECK(name.rfind(".morvane-", 0) != 0);  // no temporary file left
    const auto old = before.find(path);
    if (old == before.end()) {
      FUZZ_CHECK(outputs.count(path) != 0);  // nothing new but an output
      continue;
    }
    const bool changed = old->second.content != entry.content || old->second.inode != entry.inode;
    if (!changed) continue;
    FUZZ_CHECK(outputs.count(path) != 0);                            // only outputs change
    FUZZ_CHECK((old->second.mode & 07777) == (entry.mode & 07777));  // and keep their mode
    for (const Identity& read : inputs) {                            // and were not read
      FUZZ_CHECK(!(read.exists && read.device == old->second.device && read.inode == old->second.inode));
    }
  }
  for (const auto& [path, entry] : before) FUZZ_CHECK(after.count(path) != 0);  // nothing removed

  // A dependency file only with a result, and holding no name make cannot read.
  const auto deps = after.find(depsPath);
  const auto oldDeps = before.find(depsPath);
  const bool depsWritten = !depsPath.empty() && deps != after.end() && S_ISREG(deps->second.mode) &&
                           (oldDeps == before.end() || oldDeps->second.content != deps->second.content ||
                            oldDeps->second.inode != deps->second.inode);
  if (depsWritten) {
    FUZZ_CHECK(status == kExitOk || status == kExitNoSuchTag);
    const std::string& rules = deps->second.content;
    FUZZ_CHECK(rules.find('\t') == std::string::npos);
    FUZZ_CHECK(rules.find(';') == std::string::npos);
    FUZZ_CHECK(rules.find('=') == std::string::npos);
  }
  return 0;
}
