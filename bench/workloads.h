// Generated workloads shared by the engine benchmarks and the peer comparison: the same texts for every
// tool, built from fixed patterns so every run measures the same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace morvane::bench {

// The largest text the tool reads: kTextBufferSize - 1 bytes.
inline constexpr size_t kMaxText = 0xFFFFF;

// One template run: the header is expanded for its definitions, the main text is the result.
struct Workload {
  std::string header;
  std::string main;
};

// A text without any '[' or '\' of kMaxText bytes: lines of English words.
std::string PlainAscii();
// The same size in code page 932: "データ" and friends, lead bytes everywhere, some trail bytes 0x5B/0x5C.
std::string PlainCp932();

// Names of the 100 tags of the refs workload and their values.
std::string RefName(int index);
std::string RefValue(int index);
inline constexpr int kRefTags = 100;
inline constexpr int kRefCount = 90000;
// 100 tags defined in the header; ~0.9 MB of text holding kRefCount references to them.
Workload Refs();

// The table filled to its last entry (built-ins included); kMaxText bytes of references to the last tag.
// Every name starts with the same bytes, so a lookup must look past the first byte of each entry.
inline constexpr int kWorstTags = 1024 - 27;
std::string WorstName(int index);
std::string WorstValue(int index);
Workload Worst();

// A small template as a build runs it thousands of times: a header of kSmallTags definitions and a main text
// of about 1.6 KB, 50 lines with two references each.
inline constexpr int kSmallTags = 10;
std::string SmallName(int index);
std::string SmallValue(int index);
Workload Small();

// References shaped by min, max, align, padding and loop: fills and cuts of every kind.
Workload Fields();

// Japanese names and words cut and padded to columns: the same template in UTF-8 (for code page utf-8) or in
// code page 932 (`charset` "CP932"), with a main text of about 1 MiB in UTF-8. In both code pages the
// fields take the same widths on screen.
Workload JapaneseFields(const char* charset);

// Values that reference values `depth` levels deep; the main text references the deepest one.
Workload Nested(int depth = 50);

// `count` tags read with datafile from files parts/incNN.txt beside the main file, each referenced once.
// The files are written into `directory`; the returned main text names them relative to it.
inline constexpr int kIncludeCount = 100;
Workload Includes(const std::string& directory, int count = kIncludeCount);

// A mail merge: a letter of about 1.3 KB with 18 references to the four fields of a record (id, name,
// amount, due) and to a tag `sender` that the header defines, some cut, padded or right-aligned; the same
// letter for Jinja2; and a CSV of `records` records, the same every time.
std::string MailMergeHeader();
std::string MailMergeLetter();
std::string MailMergeLetterJinja();
std::string MailMergeCsv(int records);

// Writes `text` to `path`; 1 on success.
int WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace morvane::bench
