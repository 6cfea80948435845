// The tool's whole contact with the file system: reading and writing whole text files, and the directories
// against which a path that begins with a backslash is resolved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "text/text.h"

namespace morvane {

// Directory of the file being processed, no trailing separator.
extern char BaseDirectory[kPathBufferSize];
// Directory of the running executable, no trailing separator.
extern char ModuleDirectory[kPathBufferSize];

// Forms the path to open: BaseDirectory joined to a path that begins with '\', any other path unchanged.
// Returns 0, leaving `formed` empty, when the result does not fit kPathBufferSize bytes.
int ResolvePath(const char* path, char formed[kPathBufferSize]);

// Reads a whole regular file of fewer than `limit` bytes into buffer and terminates it. 1 on success.
// `path` may lie inside `buffer`.
int ReadTextFile(const char* path, char* buffer, uint32_t limit);

// Writes text up to its terminator, replacing the file whole: a failure leaves an existing file as it was.
// The new file keeps the old one's mode, owner and group (where the owner and group cannot be kept, it
// loses its set-user-ID and set-group-ID bits). A character device or a FIFO is written to as it is.
int WriteTextFile(const char* path, const char* text);

// Reads a file named in a path box or on the command line: the path is opened as given (relative to the
// working directory or absolute), never joined to BaseDirectory. Otherwise as ReadTextFile.
int ReadNamedFile(const char* path, char* buffer, uint32_t limit);

// Reads a file named on the command line: as ReadNamedFile, but "-" is standard input, and a pipe, a FIFO or
// a character device is read to its end, as cat would (the limit still holds; so is standard input, from
// wherever it stands). The windows' boxes and datafile never open such files, so a template or a typed
// path cannot make them wait on one.
int ReadNamedStream(const char* path, char* buffer, uint32_t limit);

// Called with the name of every file a read tries to open (in the file system's form), and whether it found
// one there (also one it could not open): for following edits, where a file that does not exist yet is
// waited for too. Independent of the ReadObserver. Standard input is no file. Null: nobody listens.
using ReadWatcher = void (*)(void* context, const char* fileName, int found);
void SetReadWatcher(ReadWatcher watcher, void* context);

// What tells that a file changed since it was read: whether it exists, which file it is, its size and its
// times (the platform's finest). Equal stamps: as far as the file system tells, the same content.
struct FileStamp {
  bool exists = false;
  bool folder = false;
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // the last write
  int64_t changed = 0;   // the last change of the file's record (POSIX) or its creation (Windows)

  bool SameFile(const FileStamp& other) const {
    return exists && other.exists && volume == other.volume && index == other.index;
  }
  bool operator==(const FileStamp& other) const = default;
};
// The stamp of `fileName`, a name as the ReadObserver and the ReadWatcher give it (the file system's form),
// symbolic links followed. A name that leads to no file gives a stamp that says so.
FileStamp ReadFileStamp(const char* fileName);

// Why the last ReadTextFile, ReadNamedFile, ReadNamedStream or WriteTextFile failed; kNone after one that
// succeeded.
enum class FileError : uint8_t {
  kNone,
  kMissing,          // no such file (reading), or no such folder (writing)
  kFolder,           // the path names a folder
  kNotRegular,       // a pipe, or another special file that is no device or socket
  kTooLarge,         // reading: the limit's size or more; writing: beyond what the system lets the file hold
  kNoAccess,         // permission denied
  kReadOnly,         // writing: the file, or the file system, is read-only
  kPathTooLong,      // the path, once formed, does not fit a path buffer or the system's limit
  kPathNotNameable,  // the path has no form in the file system's encoding
  kShortRead,        // fewer bytes arrived than the file holds
  kNoSpace,          // writing: the disk or the quota is full
  kSymlinkLoop,      // too many symbolic links in a row (a loop)
  kIoError,          // the disk or the device reported an error
  kSocket,           // the path names a socket
  kDevice,           // the path names a device (writing: a block device)
  kTooManyOpen,      // the process or the system has too many files open
  kStandardInputClosed,  // "-" while the process was started without a standard input
  kOther,                // anything else: LastSystemError has the system's code
};
FileError LastFileError();
// How far into its buffer the last ReadTextFile, ReadNamedFile or ReadNamedStream wrote, its terminator
// included, NUL bytes of the file or not: the bytes after that are as they were. 0 when it wrote nothing.
uint32_t LastReadExtent();
// Sets it to 0, before a read of another reader that may not tell it.
void ResetReadExtent();
// The system's error code (errno, or GetLastError on Windows) behind a kOther.
int LastSystemError();

// What tells one file from another: the device and inode on POSIX, the volume and file index on Windows;
// and whether it is a regular file (no folder, device, pipe or socket).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool regular = false;

  bool SameFile(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};

// Listens to the reads, for a list of what a run depends on and for the checks that no output replaces an
// input and that no file a template names went unread. Either function may be null.
struct ReadObserver {
  // Every file a read opens or finds but cannot open, in the file system's form. `opened` is the identity
  // of the file the read opened, or nullptr. A name that leads to no file is left out: a make rule for a
  // file that never appears would rebuild every time. Standard input is no file.
  void (*found)(void* context, const char* fileName, const FileIdentity* opened) = nullptr;
  // A file a template names (ReadTextFile) that could not be read for a cause other than "no such file":
  // `path` as formed, in the active code page (or as given, when it could not be formed).
  void (*unreadable)(void* context, const char* path, FileError error, int systemError) = nullptr;
  void* context = nullptr;
};
// Installs `observer`; an empty one removes it.
void SetReadObserver(const ReadObserver& observer);

// The identity of the file a path names as given (as ReadNamedStream takes it: "-" is standard input), if
// it exists. 0 when there is none.
int ReadNamedFileIdentity(const char* path, FileIdentity* identity);

// Whether two paths named as given (as ReadNamedFile takes them) name one file: the same file where both
// exist, else the same text once leading "./" are dropped. "" and "-" name no file.
int NamesSameFile(const char* first, const char* second);

// At start-up, before anything is opened: each of standard input, output and error that the process was
// started without gets the null device, so that no file the program opens later takes its place (and no
// message lands in a result). Which ones were missing is remembered.
void ClaimStandardStreams();
enum class StandardStream : uint8_t { kInput, kOutput, kError };
// Whether the process was started without that stream (ClaimStandardStreams found it closed).
bool StandardStreamWasClosed(StandardStream stream);

// A file read in pieces, for data far larger than a text: "-" is standard input, and a pipe or a FIFO is
// read to its end as cat reads it.
class FileStream {
 public:
  FileStream() = default;
  ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Opens the file named as given (as ReadNamedStream takes it). 1, or 0 with LastFileError.
  int Open(const char* path);
  // Reads up to `size` bytes: the count, 0 at the end, -1 on a failure (errno tells on POSIX).
  long Read(char* buffer, size_t size);
  // The system's descriptor of the open file (POSIX), for waiting on it; -1 when none is open.
  int Descriptor() const { return descriptor_; }

 private:
  int descriptor_ = -1;
  [[maybe_unused]] void* handle_ = nullptr;  // Windows
  bool owned_ = false;
};

// A file written into a temporary beside the file it is for, to take that file's place later: many files
// written as one, put on disk with one sync and renamed only once all are complete.
struct StagedFile {
  std::string temporary;  // in the file system's form; empty when nothing is staged
  std::string target;
  std::string folder;                    // the folder of both
  std::vector<std::string> madeFolders;  // folders made for it, the outermost first
};

// Writes `length` bytes of `text` into a new temporary beside the file `path` names (resolved as
// WriteTextFile resolves it), which takes over that file's mode and owner (or gets the usual mode), without
// waiting for the disk. With `makeFolders`, the folders of the path that do not exist are made. 1 on
// success; 0, with LastFileError, and nothing left behind.
int StageTextFile(const char* path, const char* text, uint32_t length, bool makeFolders, StagedFile* staged);
// Puts the content of every file staged in these folders on the disk: one sync of each file system.
int SyncStagedFolders(const std::vector<std::string>& folders);
// The staged file takes the place of its target. 1 on success; 0, with LastFileError.
int CommitStagedFile(const StagedFile& file);
// Removes the temporary of a staged file (not the folders made for it).
void DiscardStagedFile(const StagedFile& file);
// Removes the folders made for staged files that are empty, the last made first.
void RemoveMadeFolders(const std::vector<std::string>& folders);

// Removes the temporary file of a write under way, if it has one; safe inside a signal handler, so that a
// write interrupted by SIGINT or SIGTERM leaves nothing behind.
void RemoveUnfinishedWrite();

// BaseDirectory becomes the directory part of `path`; a name without any separator lies in ".".
void SetBaseDirectory(const char* path);

// BaseDirectory becomes a copy of ModuleDirectory (at start and at the start of every update run).
void ResetBaseDirectory();

// Computes ModuleDirectory from the running executable's path.
void FindModuleDirectory();

}  // namespace morvane
