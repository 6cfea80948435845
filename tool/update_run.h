// The update run: built-ins, the header's definitions, the main file's expansion, and the rows of the tag
// list.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace morvane {

// Shows one message to the user and returns when it has been seen.
using ReportError = std::function<void(const char* message)>;

inline constexpr const char kResultRowText[] = "（出力結果）";
inline constexpr const char kHeaderReadFailed[] = "ヘッダーファイルの読み込みに失敗しました。";
inline constexpr const char kMainReadFailed[] = "メインファイルの読み込みに失敗しました。";
inline constexpr const char kExpansionFailed[] = "メモリ不足またはオーバーフローが発生しました。";

struct UpdateResult {
  bool completed = false;
  std::vector<std::string>
      rows;                 // kResultRowText, then every tag name in table order; empty unless completed
  bool readFailed = false;  // a header or main file could not be read
};

// kTextBufferSize bytes owned by the window (or the command-line tool); holds the last result.
extern char* OutputBuffer;

// Runs one update with the two paths (either may be empty, which skips that file). A path the front end
// could not turn into a file name is passed as nullptr: it is that file's read failure. OutputBuffer must be
// allocated.
UpdateResult UpdateRun(const char* headerPath, const char* mainPath, const ReportError& report);

}  // namespace morvane
