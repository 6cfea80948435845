// What only the platform halves of the file layer implement (text_files_posix.cpp, text_files_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/text_files.h"

namespace morvane {

// Reads the file at `formed`, a resolved path in the active code page, as ReadTextFile describes.
int ReadResolvedFile(const char* formed, char* buffer, uint32_t limit);
// Reads the file at `formed` as ReadNamedStream describes; "-" is standard input.
int ReadResolvedStream(const char* formed, char* buffer, uint32_t limit);
// Tells the ReadObserver, if any, of a file that a read found; `opened` as ReadObserver::found has it.
void RecordRead(const char* fileName, const FileIdentity* opened);
// Whether anyone listens to RecordRead: the identity of an opened file is read only then.
bool ReadsObserved();
// Tells the ReadWatcher, if any, of a file that a read tried to open, and whether it found one.
void RecordOpenAttempt(const char* fileName, int found);
// Reads the identity of the file at `formed` ("-": standard input); 0 when there is no such file.
int ReadFileIdentity(const char* formed, FileIdentity* identity);
// Writes `length` bytes to the file at `formed`, replacing it only once the new content is complete.
int WriteResolvedFile(const char* formed, const char* text, uint32_t length);
// Stages `length` bytes of `text` for the file at `formed`, a resolved path, as StageTextFile describes.
int StageResolvedFile(const char* formed, const char* text, uint32_t length, bool makeFolders,
                      StagedFile* staged);
// The running executable's full path in the active code page; 0 when it cannot be told.
int ReadModuleFileName(char* buffer, uint32_t size);
// Records how far into its buffer a read wrote, its terminator included, for LastReadExtent.
void NoteReadExtent(uint32_t bytes);
// Records why a read or write failed, for LastFileError; the portable half clears it for every call.
void SetFileError(FileError error, int systemError = 0);
// Remembers that the process was started without `stream`.
void SetStandardStreamClosed(StandardStream stream);

// The name the system opens for a resolved path in the active code page (POSIX: '/' separators, in the
// locale's encoding of file names). 0, with LastFileError, when it has none or does not fit `size` bytes.
int NativeFileName(const char* formed, char* native, size_t size);

// Length of a drive prefix ("X:") that begins `path` on platforms with drive letters, else 0.
size_t DrivePrefixLength(const char* path);

}  // namespace morvane
