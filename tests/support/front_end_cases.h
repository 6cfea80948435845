// Update and Save scenarios on which every front end agrees (the shared commands, the Linux window and the
// Windows dialog), each from a fresh window over the files it names. The texts are ASCII, so one table
// serves every code page; the front ends' Japanese cases stay with their own tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tool/update_run.h"

namespace morvane::testing {

// A box's content in a case: no file (the box stays empty), a file that does not exist, or a file's text.
struct BoxFile {
  enum Kind { kEmpty, kMissing, kText } kind = kEmpty;
  const char* text = "";
};
inline constexpr BoxFile kEmptyBox{};
inline constexpr BoxFile kMissingFile{BoxFile::kMissing};
inline constexpr BoxFile Text(const char* text) {
  return BoxFile{BoxFile::kText, text};
}

struct FrontEndCase {
  const char* label;
  BoxFile header;
  BoxFile main;
  std::vector<std::string> messages;  // what the Update reports, in order
  bool refreshed;                     // whether the list and the view then show this run
  const char* view;                   // the view after the Update (a fresh window's empty view when not)
  size_t rows;                        // rows of the list, the result row included (0: a fresh window's)
  // Rows picked after the Update, by name, and what the view then shows; "" names the result row.
  std::vector<std::pair<std::string, std::string>> picks;
  bool saved;  // whether Save then replaces an existing file with the view's text
};

// A value of 16 bytes written 200,000 times: more than a working buffer holds.
inline constexpr char kOverflowingText[] = "[a data=\"0123456789abcdef\"][a loop=\"200000\"]";

inline std::vector<FrontEndCase> FrontEndCases() {
  const BoxFile header = Text("skipped header text [who data=\"world\"]");
  const BoxFile main = Text("Hello, [who]!");
  return {
      {"both boxes empty",
       kEmptyBox,
       kEmptyBox,
       {},
       true,
       "",
       28,
       {{"_eof", ""}, {"_systemversion", "1.0"}},
       true},
      {"header and main",
       header,
       main,
       {},
       true,
       "Hello, world!",
       29,
       {{"who", "world"}, {"", "Hello, world!"}},
       true},
      {"header missing", kMissingFile, main, {kHeaderReadFailed}, true, "Hello, !", 28, {}, false},
      {"main missing", header, kMissingFile, {kMainReadFailed}, true, "", 29, {{"who", "world"}}, false},
      {"both missing",
       kMissingFile,
       kMissingFile,
       {kHeaderReadFailed, kMainReadFailed},
       true,
       "",
       28,
       {},
       false},
      {"failed expansion", header, Text(kOverflowingText), {kExpansionFailed}, false, "", 0, {}, false},
      {"_eof ends the result", kEmptyBox, Text("kept[_eof]dropped"), {}, true, "kept", 28, {}, true},
      {"values of picked rows",
       kEmptyBox,
       Text("result[full data=\"value\"][empty data=\"\"][novalue readonly=\"yes\"][_year data=\"1999\"]"),
       {},
       true,
       "result",
       31,
       {{"full", "value"},
        {"empty", ""},
        {"novalue", ""},
        {"_year", "1999"},
        {"_systemname", "Morvane"},
        {"", "result"}},
       true},
      // A literal value comes out as it stands in every front end; the same value without the mark expands.
      {"literal values",
       Text("[who data=\"world\"][code data=\"a[who]\\[b]\" literal=\"yes\"][plain data=\"[who]\"]"),
       Text("[code] [plain]"),
       {},
       true,
       "a[who]\\[b] world",
       31,
       {{"code", "a[who]\\[b]"}, {"plain", "[who]"}},
       true},
  };
}

}  // namespace morvane::testing
