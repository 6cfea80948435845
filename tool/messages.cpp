#include "tool/messages.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "text/text.h"

namespace morvane {

namespace {

Language gLanguage = Language::kEnglish;

struct Text {
  const char* english;
  const char* japanese;
};

const char* Pick(const Text& text) {
  return gLanguage == Language::kJapanese ? text.japanese : text.english;
}

// One entry per MessageId, in its order, each naming its id. {1}, {2}, ... stand for the arguments.
struct Message {
  MessageId id;
  const char* english;
  const char* japanese;
};

constexpr Message kMessages[] = {
    {MessageId::kTryHelp, "Try 'morvane-cli --help' for more information.",
     "詳しくは 'morvane-cli --help' を見てください。"},
    {MessageId::kUnknownOption, "unknown option '{1}'", "不明なオプション '{1}' です"},
    {MessageId::kAmbiguousOption, "option '{1}' is ambiguous: {2}", "オプション '{1}' はあいまいです: {2}"},
    {MessageId::kOptionNeedsArgument, "option '{1}' needs an argument",
     "オプション '{1}' には引数が要ります"},
    {MessageId::kOptionTakesNoArgument, "option '{1}' takes no argument",
     "オプション '{1}' は引数を取りません"},
    {MessageId::kOptionsExclusive, "{1} and {2} cannot be used together", "{1} と {2} は一緒に使えません"},
    {MessageId::kExpectedTwoFiles, "expected two files, HEADER and MAIN (\"\" to skip one)",
     "ファイルを二つ、HEADER と MAIN を指定してください（\"\" で省略できます）"},
    {MessageId::kTooManyArguments, "too many arguments: expected HEADER and MAIN",
     "引数が多すぎます。HEADER と MAIN だけを指定してください"},
    {MessageId::kBothStandardInput, "HEADER and MAIN cannot both be standard input ('-')",
     "HEADER と MAIN の両方を標準入力（-）にはできません"},
    {MessageId::kDefineNeedsValue, "-D needs NAME=VALUE, not '{1}'",
     "-D には NAME=VALUE を指定してください（'{1}' ではなく）"},
    {MessageId::kDefineBadName, "-D {1}: a tag name has at most 31 bytes and no space or ']'",
     "-D {1}: タグの名前は 31 バイトまでで、空白と ] を含められません"},
    {MessageId::kDefineTableFull, "-D {1}: more tags than the table holds ({2} besides the built-ins)",
     "-D {1}: タグ表に入りきりません（組み込み変数のほかに {2} 個まで）"},
    {MessageId::kDepsNeedTarget, "--deps needs a target: -o FILE or --deps-target NAME",
     "--deps にはターゲットが要ります: -o FILE か --deps-target NAME"},
    {MessageId::kDepsSameFile, "--deps {1} is the same file as {2}: writing the rules there would replace it",
     "--deps の {1} は {2} と同じファイルです。規則を書くと上書きしてしまいます"},
    {MessageId::kEmptyFileName, "{1} needs a file name, not an empty one",
     "{1} には空でないファイル名を指定してください"},
    {MessageId::kUnknownCodePage, "unknown code page '{1}'", "不明なコードページ '{1}' です"},
    {MessageId::kUnknownEnvironmentCodePage, "MORVANE_CODEPAGE='{1}' names an unknown code page",
     "環境変数 MORVANE_CODEPAGE='{1}' のコードページは使えません"},
    {MessageId::kArgumentNotInCodePage, "'{1}' cannot be written in the active code page",
     "'{1}' は現在のコードページで表せません"},
    {MessageId::kEpochMalformed,
     "SOURCE_DATE_EPOCH='{1}' is not a number of seconds since 1970-01-01 UTC (decimal digits only)",
     "SOURCE_DATE_EPOCH='{1}' は 1970-01-01 UTC からの秒数ではありません（10 進の数字だけが使えます）"},
    {MessageId::kEpochOutOfRange, "SOURCE_DATE_EPOCH='{1}' is a date beyond the year 65535",
     "SOURCE_DATE_EPOCH='{1}' は 65535 年より後の日付です"},
    {MessageId::kCannotWriteStandardOutput, "cannot write standard output", "標準出力に書き込めません"},
    {MessageId::kNoMemory, "out of memory", "メモリが不足しています。"},
    // kOutputIsInput: {1} the output as an option names it, {2} the input as the run names it
    {MessageId::kOutputIsInput, "{1} is the same file as {2}, which the run reads: nothing written",
     "{1} は、読み込む {2} と同じファイルです。何も書き込みません"},
    // kDepsNameRefused: {1} the file, {2} what make would make of it
    {MessageId::kDepsNameRefused, "--deps: make cannot read the name '{1}' ({2}): nothing written",
     "--deps: make は名前 '{1}' を読めません（{2}）。何も書き込みません"},
    // kUnknownWarningClass: {1} the word, {2} every class
    {MessageId::kUnknownWarningClass, "unknown warning class '{1}': all, {2}",
     "不明な警告の種類 '{1}' です: all, {2} のどれかです"},
    // kWarningClassMissing: {1} the option, {2} every class
    {MessageId::kWarningClassMissing, "{1} needs a warning class where the list is empty: all, {2}",
     "{1} の一覧に空の項目があります。警告の種類は all, {2} のどれかです"},
    // kCannotRead: {1} the tool's fixed sentence, {2} the file, {3} the cause
    {MessageId::kCannotRead, "{2}: cannot read: {3}", "{1} {2}: {3}"},
    {MessageId::kCannotWrite, "{2}: cannot write: {3}", "{1} {2}: {3}"},
    {MessageId::kCannotExpand, "{2}: cannot expand: {3}", "{1} {2}: {3}"},
    // kWarning: {1} file, {2} line, {3} column, {4} the warning
    {MessageId::kWarning, "{1}:{2}:{3}: warning: {4}", "{1}:{2}:{3}: 警告: {4}"},
    // kWarningInPass: {1} file, {2} pass, {3} the warning, {4} the expression's first bytes
    {MessageId::kWarningInPass, "{1}: pass {2}: warning: {3}, in '{4}'",
     "{1}: {2} 回目の展開: 警告: {3}（'{4}' の中）"},
    {MessageId::kDefineNeverReferenced, "warning: -D '{1}' is never referenced",
     "警告: -D '{1}' はどこからも参照されていません"},
    // kWarningsHidden: {1} how many; told instead of the warnings when --warn is not given
    {MessageId::kWarningsHidden, "{1} warnings (--warn shows them)",
     "警告が {1} 件あります（--warn で表示されます）"},
    {MessageId::kWarningHidden, "1 warning (--warn shows it)",
     "警告が 1 件あります（--warn で表示されます）"},
    // kQuoteRunsOnAt: {1} line, {2} column of the quote that closed the value
    {MessageId::kQuoteRunsOnAt,
     "this quoted value takes in a bracket or a line break and is closed only by the quote at line {1}, "
     "column "
     "{2}: a missing '\"'?",
     "この \" の値は括弧か改行を含み、{1} 行 {2} 桁の \" でやっと閉じられます。\" がないのかもしれません"},
    // kQuoteRunsOnNote: {1} where the value began
    {MessageId::kQuoteRunsOnNote, " (the rest of the quoted value begun at {1})",
     "（{1}で始まる \" の値の続きです）"},
    {MessageId::kLineAndColumn, "line {1}, column {2}", "{1} 行 {2} 桁"},
    // kNotInCodePage: {1} the active code page, {2} the byte
    {MessageId::kNotInCodePage,
     "byte {2} is not valid in code page {1}: the file is most likely in another encoding",
     "バイト {2} はコードページ {1} では正しくありません。ファイルはおそらく別の文字コードです"},
    // kValidInCodePage: {1} the code page the whole file is valid in
    {MessageId::kValidInCodePage, "; all of it reads as code page {1}: try --codepage {1}",
     "。全体がコードページ {1} として読めます。--codepage {1} を試してください"},
    {MessageId::kByteOrderMark, "the file begins with a UTF-8 byte-order mark: it is copied into the result",
     "ファイルが UTF-8 のバイト順マークで始まります。結果にそのまま写されます"},
    // kByteOrderMarkInValue: {1} the tag that the datafile defines
    {MessageId::kByteOrderMarkInValue,
     "the file begins with a UTF-8 byte-order mark: it is copied into the value of tag '{1}'",
     "ファイルが UTF-8 のバイト順マークで始まります。タグ '{1}' の値にそのまま入ります"},
    {MessageId::kNeedsRows, "{1} needs --rows DATA", "{1} には --rows DATA が要ります"},
    {MessageId::kBadJobs, "-j needs a number of jobs from 1 to {2}, not '{1}'",
     "-j には 1 から {2} までのジョブ数を指定してください（'{1}' ではなく）"},
    {MessageId::kBadShard, "--shard needs K/N with 1 <= K <= N, not '{1}'",
     "--shard には 1 <= K <= N の K/N を指定してください（'{1}' ではなく）"},
    {MessageId::kRowsStandardInput, "--rows - and {1} cannot both be standard input ('-')",
     "--rows - と {1} の両方を標準入力（-）にはできません"},
    {MessageId::kUnknownRowsFormat, "unknown --rows-format '{1}': csv, tsv or jsonl",
     "--rows-format '{1}' は使えません: csv、tsv、jsonl のどれかです"},
    {MessageId::kRowsFormatFromName,
     "--rows {1}: the format cannot be told from the name (.csv, .tsv, .jsonl): give --rows-format",
     "--rows {1}: 名前から形式がわかりません（.csv、.tsv、.jsonl）。--rows-format を指定してください"},
    {MessageId::kFieldGivenByDefine, "{1}:{2}: field '{3}' is also given with -D",
     "{1}:{2}: フィールド '{3}' は -D でも指定されています"},
    {MessageId::kFieldBadName, "{1}:{2}: field name '{3}' cannot be a tag's (1 to 31 bytes, no space or ']')",
     "{1}:{2}: フィールド名 '{3}' はタグの名前になりません（1 から 31 バイト、空白と ] は不可）"},
    {MessageId::kFieldDuplicateName, "{1}:{2}: field name '{3}' is given twice",
     "{1}:{2}: フィールド名 '{3}' が二度あります"},
    {MessageId::kRecordTooManyFields, "{1}:{2}: the record has {3} fields, where the first row names {4}",
     "{1}:{2}: フィールドが {3} 個あります。最初の行の名前は {4} 個です"},
    {MessageId::kRecordTooFewFields, "{1}:{2}: the record has only {3} of the {4} fields the first row names",
     "{1}:{2}: フィールドが {3} 個しかありません。最初の行の名前は {4} 個です"},
    {MessageId::kRecordUnclosedQuote, "{1}:{2}: a quoted field is not closed before the end of the data",
     "{1}:{2}: \" で始まるフィールドがデータの終わりまで閉じられていません"},
    // kRecordOfWarning: {1} DATA, {2} the line of the first record that gave the warning
    {MessageId::kRecordOfWarning, " (record {1}:{2})", "（{1}:{2} のレコード）"},
    {MessageId::kRecordFieldTooLarge, "{1}:{2}: field '{3}' holds more than 1,048,575 bytes",
     "{1}:{2}: フィールド '{3}' が 1,048,575 バイトを超えています"},
    {MessageId::kRecordNotAnObject, "{1}:{2}: the line is no JSON object ({ ... })",
     "{1}:{2}: この行は JSON のオブジェクト（{ ... }）ではありません"},
    {MessageId::kRecordBadJson, "{1}:{2}: the JSON does not read: expected {3}",
     "{1}:{2}: JSON として読めません: {3} があるはずです"},
    {MessageId::kRecordNestedValue,
     "{1}:{2}: the value of '{3}' is an object or an array; a field holds a string, a number, true, false or "
     "null",
     "{1}:{2}: '{3}' の値がオブジェクトか配列です。フィールドの値は文字列、数、true、false、null です"},
    {MessageId::kRecordNotInCodePage,
     "{1}:{2}: the value of '{3}' holds a \\u character that the active code page cannot hold",
     "{1}:{2}: '{3}' の値に現在のコードページで表せない \\u の文字があります"},
    {MessageId::kRecordOutputEmpty, "{1}:{2}: -o gives an empty file name",
     "{1}:{2}: -o のファイル名が空です"},
    {MessageId::kRecordOutputEscapes,
     "{1}:{2}: -o gives '{3}', which is absolute or climbs with '..' where the pattern does not",
     "{1}:{2}: -o が '{3}' になります。パターンにない絶対パスか '..' です"},
    {MessageId::kRecordOutputTooLong, "{1}:{2}: -o gives a path longer than 259 bytes",
     "{1}:{2}: -o のパスが 259 バイトを超えます"},
    {MessageId::kRecordTableFull,
     "{1}:{2}: the record's fields and the -D are more tags than the table holds ({3} besides the built-ins)",
     "{1}:{2}: レコードのフィールドと -D がタグ表に入りきりません（組み込み変数のほかに {3} 個まで）"},
    {MessageId::kDataCannotRead, "{1}: cannot read: {2}", "{1}: 読み込めません: {2}"},
    {MessageId::kRecordOutputTwice, "{1}:{2}: -o gives '{3}', as the record of line {4} does",
     "{1}:{2}: -o が '{3}' になります。{4} 行目のレコードと同じです"},
    {MessageId::kRecordOutputNotFolder, "{1}:{2}: -o gives '{3}': cannot make its folder: {4}",
     "{1}:{2}: -o が '{3}' になります。フォルダーを作れません: {4}"},
    {MessageId::kRecordsFailed, "{1}: {2} of {3} records failed: no file written",
     "{1}: {3} 件のレコードのうち {2} 件が失敗しました。ファイルは書き込まれていません"},
    {MessageId::kRecordsWarnedStrict, "{1}: warnings under --strict: no file written",
     "{1}: --strict で警告があったため、ファイルは書き込まれません"},
    {MessageId::kRecordsFailedKept, "{1}: {2} of {3} records failed; the files of the others are written",
     "{1}: {3} 件のレコードのうち {2} 件が失敗しました。ほかのファイルは書き込まれました"},
    {MessageId::kRecordsFailedStreamed, "{1}: {2} of {3} records failed",
     "{1}: {3} 件のレコードのうち {2} 件が失敗しました"},
    {MessageId::kRecordsReplacedSome, "{1}: cannot write: {2}; {3} of {4} files were written",
     "{1}: 書き込めません: {2}。{4} 個のファイルのうち {3} 個は書き込まれました"},
    {MessageId::kFieldNeverReferenced, "warning: field '{1}' of {2} is never referenced",
     "警告: {2} のフィールド '{1}' はどこからも参照されていません"},
    {MessageId::kWorkerLost, "a worker process ended before it finished its records: no file written",
     "ワーカープロセスがレコードを終える前に終了しました。ファイルは書き込まれていません"},
    {MessageId::kWatchStandardInput, "--watch follows files, not standard input ('-')",
     "--watch が監視するのはファイルです。標準入力（-）は監視できません"},
    {MessageId::kWatchNotAFile, "--watch follows files: '{1}' is a pipe, a FIFO or a device",
     "--watch が監視するのはファイルです。'{1}' はパイプか FIFO かデバイスです"},
    {MessageId::kWatchNothing, "--watch needs a file to follow: HEADER and MAIN are both empty",
     "--watch には監視するファイルが要ります。HEADER も MAIN も空です"},
    {MessageId::kWatchUnavailable, "--watch is available on Linux only", "--watch は Linux でだけ使えます"},
    // kWatchStarted: {1} the first run's status, {2} the number of files
    {MessageId::kWatchStarted, "--watch: status {1}; files followed: {2}; Ctrl+C ends",
     "--watch: 終了状態 {1}。監視するファイル: {2} 個（Ctrl+C で終わります）"},
    // kWatchRerun: {1} the file that changed, {2} the run's status
    {MessageId::kWatchRerun, "--watch: {1} changed: ran again, status {2}",
     "--watch: {1} が変わったので再実行しました。終了状態 {2}"},
    // kCannotReadDatafile: {1} the file being expanded, {2} the datafile, {3} the cause
    {MessageId::kCannotReadDatafile, "{1}: datafile {2}: cannot read: {3}",
     "{1}: datafile {2} を読み込めません: {3}"},
};
static_assert(sizeof kMessages / sizeof kMessages[0] == static_cast<size_t>(MessageId::kMessageCount));

// Each entry stands at its id's index, so no text can be told for another id.
constexpr bool MessagesInIdOrder() {
  for (size_t i = 0; i < sizeof kMessages / sizeof kMessages[0]; ++i) {
    if (static_cast<size_t>(kMessages[i].id) != i) return false;
  }
  return true;
}
static_assert(MessagesInIdOrder());

std::string Fill(const char* pattern, std::initializer_list<std::string> arguments) {
  std::string text;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
      const size_t index = static_cast<size_t>(p[1] - '1');
      if (index < arguments.size()) text += *(arguments.begin() + index);
      p += 2;
    } else {
      text += *p;
    }
  }
  return text;
}

std::string Say(const Text& text, std::initializer_list<std::string> arguments = {}) {
  return Fill(Pick(text), arguments);
}

}  // namespace

void SetMessageLanguage(Language language) {
  gLanguage = language;
}

Language MessageLanguage() {
  return gLanguage;
}

bool IsJapaneseLocaleName(const char* name) {
  return name != nullptr && name[0] == 'j' && name[1] == 'a' &&
         (name[2] == '\0' || name[2] == '_' || name[2] == '.' || name[2] == '@');
}

std::string FormatMessage(MessageId id, std::initializer_list<std::string> arguments) {
  const Message& message = kMessages[static_cast<size_t>(id)];
  return Fill(Pick({message.english, message.japanese}), arguments);
}

const char* MessagePattern(MessageId id) {
  const Message& message = kMessages[static_cast<size_t>(id)];
  return Pick({message.english, message.japanese});
}

std::string GroupedNumber(uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

std::string FileErrorText(FileError error, int systemError, bool writing) {
  const std::string limit = GroupedNumber(kTextBufferSize - 1);
  switch (error) {
    case FileError::kNone:
      return "";
    case FileError::kMissing:
      return writing ? Say({"no such folder", "フォルダーがありません"})
                     : Say({"No such file or directory", "ファイルがありません"});
    case FileError::kFolder:
      return Say({"is a folder", "フォルダーです"});
    case FileError::kNotRegular:
      return Say(
          {"not a regular file (a device or a pipe)", "通常のファイルではありません（デバイスかパイプ）"});
    case FileError::kTooLarge:
      return writing ? Say({"too large for the file system", "ファイルシステムに収まりません"})
                     : Say({"larger than {1} bytes", "{1} バイトより大きいファイルです"}, {limit});
    case FileError::kNoAccess:
      return Say({"permission denied", "アクセスが拒否されました"});
    case FileError::kReadOnly:
      return Say({"read-only", "読み取り専用です"});
    case FileError::kPathTooLong:
      return Say({"path longer than {1} bytes", "パスが {1} バイトを超えています"},
                 {std::to_string(kPathBufferSize - 1)});
    case FileError::kPathNotNameable:
      return Say(
          {"the name has no form in the file system's encoding", "名前をファイル名の文字コードで表せません"});
    case FileError::kShortRead:
      return Say({"the read ended early", "読み込みが途中で終わりました"});
    case FileError::kNoSpace:
      return Say({"no space left", "空き容量がありません"});
    case FileError::kSymlinkLoop:
      return Say({"too many levels of symbolic links (a loop?)",
                  "シンボリックリンクが多すぎます（循環していませんか）"});
    case FileError::kIoError:
      return Say({"input/output error (the disk or the device failed)",
                  "入出力エラーです（ディスクかデバイスの障害）"});
    case FileError::kSocket:
      return Say({"a socket, not a regular file", "ソケットです（通常のファイルではありません）"});
    case FileError::kDevice:
      return Say({"a device, not a regular file", "デバイスです（通常のファイルではありません）"});
    case FileError::kTooManyOpen:
      return Say({"too many open files", "開いているファイルが多すぎます"});
    case FileError::kStandardInputClosed:
      return Say({"standard input is closed", "標準入力が閉じられています"});
    case FileError::kOther:
      break;
  }
  return Say({"system error {1}", "システムエラー {1}"}, {std::to_string(systemError)});
}

std::string ExpansionFailureText(const ExpansionFailureRecord& failure) {
  const std::string limit = GroupedNumber(kTextBufferSize - 1);
  const std::string tag = failure.tag;
  switch (failure.reason) {
    case ExpansionFailure::kNone:
    case ExpansionFailure::kResultTooLarge:
      if (!tag.empty()) {
        return Say({"the text would grow beyond {1} bytes while tag '{2}' is written",
                    "タグ '{2}' を書くうちにテキストが {1} バイトを超えます"},
                   {limit, tag});
      }
      return Say({"the text would grow beyond {1} bytes", "テキストが {1} バイトを超えます"}, {limit});
    case ExpansionFailure::kFieldTooLarge:
      return Say({"tag '{1}' would write {2} bytes, more than the {3} a result holds (see its loop and min)",
                  "タグ '{1}' の出力が {2} バイトになり、結果の上限 {3} バイトを超えます（loop と min "
                  "を見てください）"},
                 {tag, GroupedNumber(failure.bytes), limit});
    case ExpansionFailure::kUnchangedPass:
      if (!tag.empty()) {
        return Say({"tag '{1}' keeps expanding to itself", "タグ '{1}' が自分自身に展開され続けます"}, {tag});
      }
      return Say({"a pass changed nothing, so the passes would never end",
                  "展開しても何も変わらず、展開が終わりません"});
    case ExpansionFailure::kTooManyPasses:
      if (!tag.empty()) {
        return Say({"more than {1} passes: the value of tag '{2}' keeps making new expressions",
                    "展開が {1} 回を超えました。タグ '{2}' の値が新しい式を作り続けています"},
                   {GroupedNumber(kMaxPasses), tag});
      }
      return Say({"more than {1} passes: values keep making new expressions",
                  "展開が {1} 回を超えました。値が新しい式を作り続けています"},
                 {GroupedNumber(kMaxPasses)});
    case ExpansionFailure::kTooMuchText:
      if (!tag.empty()) {
        return Say({"more than {1} bytes read over all passes: the value of tag '{2}' keeps growing",
                    "展開で読んだ量が {1} バイトを超えました。タグ '{2}' の値が大きくなり続けています"},
                   {GroupedNumber(kMaxPassBytes), tag});
      }
      return Say({"more than {1} bytes read over all passes", "展開で読んだ量が {1} バイトを超えました"},
                 {GroupedNumber(kMaxPassBytes)});
    case ExpansionFailure::kTooManyExpressions:
      if (!tag.empty()) {
        return Say(
            {"more than {1} tag expressions over all passes: the value of tag '{2}' keeps making new ones",
             "展開したタグの式が {1} 個を超えました。タグ '{2}' の値が新しい式を作り続けています"},
            {GroupedNumber(kMaxPassTags), tag});
      }
      return Say({"more than {1} tag expressions over all passes", "展開したタグの式が {1} 個を超えました"},
                 {GroupedNumber(kMaxPassTags)});
    case ExpansionFailure::kOutOfMemory:
      break;
  }
  return Say({"out of memory", "メモリが足りません"});
}

std::string RunMessageText(const ToolMessage& message, const std::string& fileName) {
  const bool writing = message.cause == MessageCause::kWriteFailed;
  switch (message.cause) {
    case MessageCause::kReadFailed:
    case MessageCause::kWriteFailed:
      return FormatMessage(
          writing ? MessageId::kCannotWrite : MessageId::kCannotRead,
          {message.text, fileName, FileErrorText(message.fileError, message.systemError, writing)});
    case MessageCause::kExpansionFailed:
      return FormatMessage(MessageId::kCannotExpand,
                           {message.text, fileName, ExpansionFailureText(message.expansion)});
    case MessageCause::kNoMemory:
      break;
  }
  if (fileName.empty()) return FormatMessage(MessageId::kNoMemory);
  ExpansionFailureRecord noMemory;
  noMemory.reason = ExpansionFailure::kOutOfMemory;
  return FormatMessage(MessageId::kCannotExpand, {message.text, fileName, ExpansionFailureText(noMemory)});
}

std::string RunMessageDetail(const ToolMessage& message, const std::string& fileName) {
  // The whole message without its sentence: the Japanese one begins with it, the English one never has it.
  ToolMessage withoutSentence = message;
  withoutSentence.text = "";
  std::string detail = RunMessageText(withoutSentence, fileName);
  if (!detail.empty() && detail[0] == ' ') detail.erase(0, 1);
  return detail;
}

namespace {

// Why a number does not read as what it says.
std::string NumberReason(const char* value) {
  const char* p = value;
  while (*p == ' ' || (*p >= 0x09 && *p <= 0x0D)) ++p;
  if (*p == '\0') return Say({"no digits", "数字がありません"});
  if (*p == '+' || *p == '-') return Say({"a sign: -1 is 4294967295", "符号付き（-1 は 4294967295）"});
  if (p != value) return Say({"spaces before it", "前に空白があります"});
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return Say({"hexadecimal", "16 進数"});
  if (p[0] == '0' && p[1] != '\0') {
    const char* q = p;
    while (*q >= '0' && *q <= '7') ++q;
    if (*q != '\0')
      return Say({"a leading 0 makes it octal, which stops at 8 or 9",
                  "先頭の 0 で 8 進数になり、8 や 9 で止まります"});
    return Say({"a leading 0 makes it octal", "先頭の 0 で 8 進数になります"});
  }
  const char* q = p;
  while (*q >= '0' && *q <= '9') ++q;
  if (q == p) return Say({"no digits", "数字がありません"});
  if (*q != '\0') return Say({"what follows the digits is ignored", "数字の後ろは無視されます"});
  return Say({"above 4294967295", "4294967295 を超えています"});
}

// The keyword a mistyped word most likely meant: one at most two edits away (letters inserted, dropped,
// changed or swapped), compared without regard to case; empty when none is that close.
std::string NearestKeyword(const std::string& word) {
  static constexpr const char* kKeywords[] = {"data", "datafile", "readonly", "loop",   "min",
                                              "max",  "align",    "padding",  "literal"};
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  std::string best;
  size_t bestDistance = 3;
  for (const char* keyword : kKeywords) {
    const std::string k = keyword;
    if (word.size() > k.size() + 2 || k.size() > word.size() + 2) continue;
    // Optimal string alignment distance.
    std::vector<std::vector<size_t>> d(word.size() + 1, std::vector<size_t>(k.size() + 1));
    for (size_t i = 0; i <= word.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= k.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= word.size(); ++i) {
      for (size_t j = 1; j <= k.size(); ++j) {
        const size_t cost = lower(word[i - 1]) == k[j - 1] ? 0 : 1;
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
        if (i > 1 && j > 1 && lower(word[i - 1]) == k[j - 2] && lower(word[i - 2]) == k[j - 1]) {
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
      }
    }
    // Short words are near too many keywords: one edit at most for them.
    const size_t allowed = word.size() <= 3 ? 1 : 2;
    if (d[word.size()][k.size()] <= allowed && d[word.size()][k.size()] < bestDistance) {
      bestDistance = d[word.size()][k.size()];
      best = k;
    }
  }
  return best;
}

std::string WithSuggestion(std::string text, const std::string& word) {
  const std::string keyword = NearestKeyword(word);
  if (keyword.empty() || word.empty() || KeywordEquals(word.c_str(), keyword.c_str())) return text;
  return text + Say({"; did you mean '{1}'?", "。'{1}' のことですか"}, {keyword});
}

// Whether the text that the notice's expression reads ends before a literal value rather than at its own end.
bool EndsAtLiteral(const ExpansionNotice& notice) {
  return notice.literalStop != nullptr && notice.at != nullptr &&
         notice.at + std::strlen(notice.at) == notice.literalStop;
}

}  // namespace

std::string NoticeText(const ExpansionNotice& notice, FileError fileError, int systemError) {
  const std::string name = notice.name != nullptr ? notice.name : "";
  const std::string word = notice.word != nullptr ? notice.word : "";
  const std::string keyword = notice.keyword != nullptr ? notice.keyword : "";
  switch (notice.event) {
    case ExpansionEvent::kMissingTag:
      return Say({"no tag '{1}': the expression is dropped", "タグ '{1}' がありません。式は消えます"},
                 {name});
    case ExpansionEvent::kUnknownWord:
      if (word.empty())
        return Say(
            {"'=' with no keyword before it: ignored", "= の前にキーワードがありません。無視されます"});
      return WithSuggestion(Say({"'{1}' is no keyword: ignored, and its value is read as words",
                                 "'{1}' はキーワードではありません。無視され、その値は単語として読まれます"},
                                {word}),
                            word);
    case ExpansionEvent::kWordWithoutValue:
      return WithSuggestion(
          Say({"'{1}' has no '=' and no value: ignored", "'{1}' に = と値がありません。無視されます"},
              {word}),
          word);
    case ExpansionEvent::kSpaceBeforeEquals:
      return Say({"a space between '{1}' and '=': the attribute is ignored",
                  "'{1}' と = の間に空白があります。この属性は無視されます"},
                 {word});
    case ExpansionEvent::kSpaceAfterEquals:
      return Say(
          {"a space after '{1}=': the value is empty", "'{1}=' の後ろに空白があります。値は空になります"},
          {keyword});
    case ExpansionEvent::kUnquotedValue:
      return Say({"the value of '{1}' is not quoted: it is empty (as a number, 0)",
                  "'{1}' の値が \" で囲まれていません。空の値（数としては 0）になります"},
                 {keyword});
    case ExpansionEvent::kNumber:
      return Say({"{1}=\"{2}\" reads as {3} ({4})", "{1}=\"{2}\" は {3} と読まれます（{4}）"},
                 {keyword, word, std::to_string(notice.number), NumberReason(word.c_str())});
    case ExpansionEvent::kBadChoice:
      if (keyword == "align") {
        return Say({"align=\"{1}\" is none of left, center, right: ignored",
                    "align=\"{1}\" は left、center、right のどれでもありません。無視されます"},
                   {word});
      }
      return Say({"{1}=\"{2}\" is neither yes nor no: ignored",
                  "{1}=\"{2}\" は yes でも no でもありません。無視されます"},
                 {keyword, word});
    case ExpansionEvent::kDoubleBytePadding:
      return Say(
          {"padding=\"{1}\" begins with a double-byte character: only its first byte pads (use a "
           "single-byte character)",
           "padding=\"{1}\" は 2 バイト文字で始まります。その 1 バイト目だけで埋めます（1 バイトの文字を"
           "使ってください）"},
          {word});
    case ExpansionEvent::kUnclosedQuote:
      if (EndsAtLiteral(notice)) {
        return Say({"a quoted value is not closed: it runs to where a literal value begins",
                    "\" が閉じられていません。値はリテラルの値の手前まで続きます"});
      }
      return Say({"a quoted value is not closed: it runs to the end of the text",
                  "\" が閉じられていません。値はテキストの終わりまで続きます"});
    case ExpansionEvent::kUnclosedExpression:
      if (EndsAtLiteral(notice)) {
        return Say({"'[{1}' has no ']': the expression runs to where a literal value begins",
                    "'[{1}' に ] がありません。式はリテラルの値の手前まで続きます"},
                   {name});
      }
      return Say({"'[{1}' has no ']': the expression runs to the end of the text",
                  "'[{1}' に ] がありません。式はテキストの終わりまで続きます"},
                 {name});
    case ExpansionEvent::kLongName:
      return Say({"a name of 32 bytes or more: the '[' stays as text",
                  "名前が 32 バイト以上です。[ は文字のまま残ります"});
    case ExpansionEvent::kTableFull:
      return Say({"the tag table is full ({1} tags): the '[' of a new tag stays as text",
                  "タグ表がいっぱいです（{1} 個）。新しいタグの [ は文字のまま残ります"},
                 {GroupedNumber(kTagCapacity)});
    case ExpansionEvent::kReadOnly:
      return Say(
          {"tag '{1}' is read-only: {2} is ignored", "タグ '{1}' は読み取り専用です。{2} は無視されます"},
          {name, keyword});
    case ExpansionEvent::kDatafileUnreadable:
      return Say({"datafile \"{1}\" cannot be read: {2}; the tag keeps its value",
                  "datafile \"{1}\" を読み込めません: {2}。タグの値は変わりません"},
                 {word, FileErrorText(fileError, systemError, false)});
    case ExpansionEvent::kQuoteRunsOn:
      return Say(
          {"this quoted value takes in a bracket or a line break and is closed only by a later quote: a "
           "missing '\"'?",
           "この \" の値は括弧か改行を含み、後ろの \" でやっと閉じられます。\" がないのかもしれません"});
    case ExpansionEvent::kCut:
      if (ActiveCodePage() == kCodePageUtf8) {
        return Say({"tag '{1}' is {2} columns wide: max cuts it to {3}",
                    "タグ '{1}' は幅 {2} 桁です。max で {3} 桁に切られます"},
                   {name, std::to_string(notice.length), std::to_string(notice.number)});
      }
      return Say({"tag '{1}' is {2} bytes long: max cuts it to {3}",
                  "タグ '{1}' は {2} バイトです。max で {3} バイトに切られます"},
                 {name, std::to_string(notice.length), std::to_string(notice.number)});
    case ExpansionEvent::kDatafileRead:
      return "";
    case ExpansionEvent::kLiteralIgnored:
      return Say({"literal=\"{1}\" in an expression that sets no value (no data, or a datafile that cannot "
                  "be read): ignored",
                  "literal=\"{1}\" の式は値を設定しません（data がないか、datafile を読み込めません）。"
                  "無視されます"},
                 {word});
  }
  return "";
}

}  // namespace morvane
