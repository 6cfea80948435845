#include "tool/warnings.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/tag_table.h"
#include "files/text_files.h"
#include "text/code_page_check.h"
#include "text/text.h"
#include "text/unicode_width.h"
#include "tool/message_text.h"
#include "tool/messages.h"

namespace morvane {

namespace {

constexpr const char* kClassNames[] = {
    "unknown-tag", "unknown-keyword", "stray-word", "space",         "unquoted",     "number",   "choice",
    "padding",     "unclosed",        "long-name",  "table-full",    "read-only",    "datafile", "literal",
    "cut",         "codepage",        "bom",        "unused-define", "unused-field",
};
static_assert(sizeof kClassNames / sizeof kClassNames[0] == static_cast<size_t>(WarningClass::kCount));

// The class of a notice of the engine (kDatafileRead is no warning: it has its file looked at).
WarningClass ClassOf(ExpansionEvent event) {
  switch (event) {
    case ExpansionEvent::kMissingTag:
      return WarningClass::kUnknownTag;
    case ExpansionEvent::kUnknownWord:
      return WarningClass::kUnknownKeyword;
    case ExpansionEvent::kWordWithoutValue:
      return WarningClass::kStrayWord;
    case ExpansionEvent::kSpaceBeforeEquals:
    case ExpansionEvent::kSpaceAfterEquals:
      return WarningClass::kSpace;
    case ExpansionEvent::kUnquotedValue:
      return WarningClass::kUnquoted;
    case ExpansionEvent::kNumber:
      return WarningClass::kNumber;
    case ExpansionEvent::kBadChoice:
      return WarningClass::kChoice;
    case ExpansionEvent::kDoubleBytePadding:
      return WarningClass::kPadding;
    case ExpansionEvent::kUnclosedQuote:
    case ExpansionEvent::kUnclosedExpression:
    case ExpansionEvent::kQuoteRunsOn:
      return WarningClass::kUnclosed;
    case ExpansionEvent::kLongName:
      return WarningClass::kLongName;
    case ExpansionEvent::kTableFull:
      return WarningClass::kTableFull;
    case ExpansionEvent::kReadOnly:
      return WarningClass::kReadOnly;
    case ExpansionEvent::kDatafileUnreadable:
    case ExpansionEvent::kDatafileRead:
      return WarningClass::kDatafile;
    case ExpansionEvent::kLiteralIgnored:
      return WarningClass::kLiteral;
    case ExpansionEvent::kCut:
      return WarningClass::kCut;
  }
  return WarningClass::kUnknownTag;
}

// Layout only: spaces, tabs, carriage returns and line feeds, as a line break in an expression gives them
// (the idioms that keep definition lines from leaving blank lines, CR LF files). Not the empty text.
bool IsLayout(const char* text) {
  if (text == nullptr || *text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  }
  return true;
}

// Bytes of the character at p, as the active code page reads it: a whole UTF-8 sequence in utf-8.
size_t CharacterBytes(const char* p) {
  if (ActiveCodePage() == kCodePageUtf8) {
    const int length = WellFormedLength(p, p + std::strlen(p));
    return length > 0 ? static_cast<size_t>(length) : 1;
  }
  return static_cast<size_t>(CharLength(p));
}

// Whether text that is valid in code page 932 looks written in it: many bytes of other 8-bit encodings
// (Latin-1's accented letters) pair up into characters of 932 too, but into rows no Japanese text uses, the
// unassigned ones and the user-defined area, or leave a byte that 932 has no character for.
bool LooksLikeShiftJis(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) continue;
    if (c == 0x80 || c == 0xA0 || c >= 0xFD) return false;
    if ((c >= 0x81 && c <= 0x9F) || c >= 0xE0) {
      if (c == 0x85 || c == 0x86 || c == 0xEB || c == 0xEC || (c >= 0xEF && c <= 0xF9)) return false;
      ++i;  // its second byte, which the code page check has found valid
    }
  }
  return true;
}

// Line and column (1-based, columns in characters of the active code page) of `at` in `text`.
void PlaceIn(const char* text, const char* at, size_t* line, size_t* column) {
  const char* lineStart = text;
  size_t lines = 1;
  for (const char* p = text; p < at; ++p) {
    if (*p == '\n') {
      ++lines;
      lineStart = p + 1;
    }
  }
  size_t characters = 0;
  for (const char* p = lineStart; p < at; p += CharacterBytes(p)) ++characters;
  *line = lines;
  *column = characters + 1;
}

// The name --codepage takes for a code page, as messages show it.
std::string CodePageLabel(int codePage) {
  return codePage == kCodePageUtf8 ? "utf-8" : std::to_string(codePage);
}

// The first bytes of an expression met in a later pass, whole characters up to a line end; never a byte of
// a literal value (a secret given with -D), whose place `literalStop` marks.
std::string ExpressionStart(const char* expression, const char* literalStop) {
  constexpr size_t kShown = 24;
  size_t length = 0;
  while (expression[length] != '\0' && expression[length] != '\n' && expression[length] != '\r') {
    const size_t step = CharacterBytes(expression + length);
    if (length + step > kShown) break;
    length += step;
  }
  std::string start(expression, length);
  const bool cut = expression[length] != '\0' && expression[length] != '\n' && expression[length] != '\r';
  if (cut || (literalStop != nullptr && expression + length == literalStop)) start += "...";
  return start;
}

// A tag in use whose name equals `name` but for the case of ASCII letters, or nullptr.
const TagEntry* OtherCase(const std::string& name) {
  for (const TagEntry& entry : gTagTable.entries) {
    if (!entry.InUse() || std::strlen(entry.name) != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
      same = lower(entry.name[i]) == lower(name[i]);
    }
    if (same) return &entry;
  }
  return nullptr;
}

// The note that ends a missing tag's warning, once the whole text has run.
std::string MissingTagNote(const std::string& name) {
  const bool japanese = MessageLanguage() == Language::kJapanese;
  if (gTagTable.Find(name.c_str()) != nullptr) {
    return japanese ? "。このタグは後で定義されますが、定義より前の参照は何も見つけません"
                    : "; it is defined later, and a reference before its definition finds nothing";
  }
  if (const TagEntry* other = OtherCase(name)) {
    const std::string otherName = CodePageTextForMessage(other->name);
    return japanese ? "。タグ '" + otherName + "' はあります（名前は大文字と小文字を区別します）"
                    : "; there is a tag '" + otherName + "' (names are case-sensitive)";
  }
  return "";
}

// Words of a template as a message shows them: line breaks and tabs written as \n, \r and \t.
std::string Visible(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string OpenExpressionNote(const char* name, size_t line, size_t column) {
  const std::string shownName = Visible(CodePageTextForMessage(name));
  if (MessageLanguage() == Language::kJapanese) {
    return "（" + std::to_string(line) + " 行 " + std::to_string(column) + " 桁の式 '[" + shownName +
           "' の中です。] がないのかもしれません）";
  }
  return " (inside '[" + shownName + "', begun at line " + std::to_string(line) + ", column " +
         std::to_string(column) + ": a missing ']'?)";
}

// A note for the words that follow a quoted value which ran on: they are that value's remains.
std::string RunOnNote(const std::string& place) {
  return FormatMessage(MessageId::kQuoteRunsOnNote, {place});
}

}  // namespace

const char* WarningClassName(WarningClass warningClass) {
  return kClassNames[static_cast<size_t>(warningClass)];
}

bool FindWarningClass(const std::string& name, WarningClass* found) {
  for (size_t i = 0; i < static_cast<size_t>(WarningClass::kCount); ++i) {
    if (name == kClassNames[i]) {
      *found = static_cast<WarningClass>(i);
      return true;
    }
  }
  return false;
}

std::string WarningClassNames() {
  std::string names;
  for (const char* name : kClassNames) names += (names.empty() ? "" : ", ") + std::string(name);
  return names;
}

WarningClasses WarningClasses::Defaults() {
  WarningClasses classes = All();
  classes.Set(WarningClass::kCut, false);
  classes.Set(WarningClass::kUnusedField, false);
  return classes;
}

WarningClasses WarningClasses::All() {
  WarningClasses classes;
  classes.bits_.set();
  return classes;
}

int WarningClasses::Apply(const std::string& list, bool on, std::string* unknown) {
  WarningClasses result = *this;
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    const std::string word =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    WarningClass found;
    if (word == "all") {
      if (on) {
        result.bits_.set();
      } else {
        result.bits_.reset();
      }
    } else if (FindWarningClass(word, &found)) {
      result.Set(found, on);
    } else {
      *unknown = word;
      return 0;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  *this = result;
  return 1;
}

WarningCollector::~WarningCollector() {
  if (listening_) SetExpansionObserver(ExpansionObserver{});
}

void WarningCollector::SetGivenTags(std::vector<std::string> names) {
  givenNames_ = std::move(names);
  given_.reset();
  referenced_.reset();
  referencedNames_.clear();
}

void WarningCollector::CountReference(const std::string& name) {
  referencedNames_.insert(name);
}

std::vector<std::string> WarningCollector::UnreferencedGivenTags() const {
  std::vector<std::string> unreferenced;
  for (const std::string& name : givenNames_) {
    const TagEntry* entry = gTagTable.Find(name.c_str());
    const bool used =
        (entry != nullptr && referenced_.test(static_cast<size_t>(entry - gTagTable.entries))) ||
        referencedNames_.count(name) != 0;
    if (!used) unreferenced.push_back(name);
  }
  return unreferenced;
}

void WarningCollector::TellLine(const std::string& line, WarningClass warningClass) {
  if (!classes_.Has(warningClass)) return;
  sink_(line + " [" + WarningClassName(warningClass) + "]");
  ++told_;
}

bool WarningCollector::Given(const TagEntry* tag) const {
  return tag != nullptr && given_.test(static_cast<size_t>(tag - gTagTable.entries));
}

void WarningCollector::Referenced(void* self, const TagEntry& tag) {
  static_cast<WarningCollector*>(self)->referenced_.set(static_cast<size_t>(&tag - gTagTable.entries));
}

void WarningCollector::Begin(const std::string& fileName, const char* text, RunFile file) {
  // The given tags exist from before the header on, and keep their entries for the whole run.
  for (const std::string& name : givenNames_) {
    if (const TagEntry* entry = gTagTable.Find(name.c_str()))
      given_.set(static_cast<size_t>(entry - gTagTable.entries));
  }
  fileName_ = fileName;
  text_ = text;
  lineStart_ = text;
  line_ = 1;
  pending_.clear();
  seen_.clear();
  runOnExpression_ = nullptr;
  if (file == RunFile::kHeader || file == RunFile::kMain) {
    // The header's text is dropped, so only the main file's mark reaches the result.
    const std::string result;
    const Pending order{};  // line 0: the warnings stand at their own places of the text
    CheckFile(fileName, text, std::strlen(text), file == RunFile::kMain ? &result : nullptr, order);
  }
  SetExpansionObserver(ExpansionObserver{&WarningCollector::Notify, this, &WarningCollector::Referenced});
  listening_ = true;
}

void WarningCollector::End() {
  SetExpansionObserver(ExpansionObserver{});
  listening_ = false;
  // By place in the text; those of later passes, which have no line, after them in the order they arose.
  std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
    if (a.firstPass != b.firstPass) return a.firstPass;
    return a.firstPass && (a.line != b.line ? a.line < b.line : a.column < b.column);
  });
  for (Pending& pending : pending_) {
    if (pending.missing) pending.text += MissingTagNote(pending.missingTag);
    sink_(Line(pending));
    ++told_;
  }
  pending_.clear();
}

void WarningCollector::Notify(void* self, const ExpansionNotice& notice) {
  static_cast<WarningCollector*>(self)->Add(notice);
}

void WarningCollector::LineAndColumn(const char* at, size_t* line, size_t* column) {
  if (at < lineStart_) {
    lineStart_ = text_;
    line_ = 1;
  }
  for (const char* p = lineStart_; p < at; ++p) {
    if (*p == '\n') {
      ++line_;
      lineStart_ = p + 1;
    }
  }
  size_t characters = 0;
  for (const char* p = lineStart_; p < at; p += CharacterBytes(p)) ++characters;
  *line = line_;
  *column = characters + 1;
}

void WarningCollector::CheckFile(const std::string& fileName, const char* text, size_t length,
                                 const std::string* copiedInto, const Pending& order) {
  if (!checkedFiles_.insert(fileName).second) return;
  const int codePage = ActiveCodePage();
  auto told = [&](WarningClass warningClass, const char* at, std::string message) {
    if (!classes_.Has(warningClass)) return;
    Pending pending = order;
    pending.warningClass = warningClass;
    pending.missing = false;
    pending.fileName = fileName;
    pending.inPass = false;
    size_t line = 0;
    size_t column = 0;
    PlaceIn(text, at, &line, &column);
    if (order.line == 0) {
      pending.line = line;
      pending.column = column;
    }
    pending.shownLine = std::to_string(line);
    pending.shownColumn = std::to_string(column);
    pending.place = fileName + ":" + pending.shownLine + ":" + pending.shownColumn;
    pending.text = std::move(message);
    Keep(std::move(pending));
  };
  if (copiedInto != nullptr && codePage == kCodePageUtf8 &&
      std::strncmp(text, kUtf8ByteOrderMark, sizeof kUtf8ByteOrderMark - 1) == 0) {
    told(WarningClass::kByteOrderMark, text,
         copiedInto->empty() ? FormatMessage(MessageId::kByteOrderMark)
                             : FormatMessage(MessageId::kByteOrderMarkInValue,
                                             {Visible(CodePageTextForMessage(copiedInto->c_str()))}));
  }
  const size_t bad = FirstInvalidByte(text, length, codePage);
  if (bad == length) return;
  char byte[8];
  std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[bad]));
  std::string message = FormatMessage(MessageId::kNotInCodePage, {CodePageLabel(codePage), byte});
  // A file that is whole text of another code page the tool knows was most likely written in it.
  for (const int other : {kCodePageUtf8, kCodePage932}) {
    if (other != codePage && FirstInvalidByte(text, length, other) == length &&
        (other != kCodePage932 || LooksLikeShiftJis(text, length))) {
      message += FormatMessage(MessageId::kValidInCodePage, {CodePageLabel(other)});
      break;
    }
  }
  told(WarningClass::kCodePage, text + bad, std::move(message));
}

void WarningCollector::Add(const ExpansionNotice& notice) {
  const WarningClass warningClass = ClassOf(notice.event);
  if (!classes_.Has(warningClass) && notice.event != ExpansionEvent::kDatafileRead) return;
  // A data or datafile on a tag that the front end gave is a default that the given value overrides.
  if (notice.event == ExpansionEvent::kReadOnly && Given(notice.tag)) return;
  // Line breaks and indentation inside an expression are layout, no mistake.
  if ((notice.event == ExpansionEvent::kMissingTag && IsLayout(notice.name)) ||
      (notice.event == ExpansionEvent::kWordWithoutValue && IsLayout(notice.word))) {
    return;
  }
  Pending pending;
  pending.warningClass = warningClass;
  pending.firstPass = notice.pass == 1;
  pending.fileName = fileName_;
  if (pending.firstPass) {
    // A word that begins with a line break is told where its first visible byte stands.
    const char* at = notice.at;
    while (*at == '\r' || *at == '\n') ++at;
    LineAndColumn(at, &pending.line, &pending.column);
  }
  if (notice.event == ExpansionEvent::kDatafileRead) {
    // The file as the read formed its path; its text is now the tag's value.
    char formed[kPathBufferSize];
    if (notice.tag == nullptr || notice.tag->data == nullptr || notice.word == nullptr ||
        !ResolvePath(notice.word, formed)) {
      return;
    }
    const std::string tagName = notice.tag->name;
    CheckFile(PathForMessage(formed), notice.tag->data, notice.tag->length, &tagName, pending);
    return;
  }
  // Names and words are in the active code page; the messages in the program's encoding.
  const std::string name = Visible(CodePageTextForMessage(notice.name != nullptr ? notice.name : ""));
  const std::string word = Visible(CodePageTextForMessage(notice.word != nullptr ? notice.word : ""));
  ExpansionNotice shown = notice;
  shown.name = name.c_str();
  if (notice.word != nullptr) shown.word = word.c_str();
  pending.text = NoticeText(shown, LastFileError(), LastSystemError());
  if (notice.event == ExpansionEvent::kMissingTag) {
    pending.missing = true;
    pending.missingTag = notice.name;
  }
  // The words after a quoted value that ran on are what is left of that value.
  const bool afterRunOn =
      runOnExpression_ == notice.expression && runOnPass_ == notice.pass && pending.firstPass;
  if (pending.firstPass) {
    pending.shownLine = std::to_string(pending.line);
    pending.shownColumn = std::to_string(pending.column);
    pending.place = pending.shownLine + ":" + pending.shownColumn;
    if (notice.event == ExpansionEvent::kQuoteRunsOn) {
      size_t untilLine = 0;
      size_t untilColumn = 0;
      LineAndColumn(notice.until, &untilLine, &untilColumn);
      pending.text =
          FormatMessage(MessageId::kQuoteRunsOnAt, {std::to_string(untilLine), std::to_string(untilColumn)});
    }
    // An expression that began on an earlier line has most likely lost its ']'.
    size_t startLine = 0;
    size_t startColumn = 0;
    LineAndColumn(notice.expression, &startLine, &startColumn);
    if (afterRunOn) {
      pending.text += RunOnNote(runOnPlace_);
    } else if (startLine != pending.line && notice.event != ExpansionEvent::kQuoteRunsOn) {
      pending.text += OpenExpressionNote(notice.name, startLine, startColumn);
    }
  } else {
    // A text a later pass reads has no lines of the file: the expression's first bytes stand for the place,
    // the same in every pass that meets it.
    pending.inPass = true;
    pending.pass = std::to_string(notice.pass);
    pending.expressionStart = ExpressionStart(notice.expression, notice.literalStop);
    pending.place = pending.expressionStart;
  }
  if (notice.event == ExpansionEvent::kQuoteRunsOn) {
    runOnExpression_ = notice.expression;
    runOnPass_ = notice.pass;
    runOnPlace_ = FormatMessage(MessageId::kLineAndColumn, {pending.shownLine, pending.shownColumn});
  }
  // The text a later pass reads holds what the earlier ones left: an expression met again there (a '['
  // left as text, say) is the one already told.
  // A '[' left as text stays with its name, whatever the pass makes of what follows it.
  const bool literalBracket =
      notice.event == ExpansionEvent::kLongName || notice.event == ExpansionEvent::kTableFull;
  const std::string sameExpression =
      (literalBracket ? std::string(notice.name) : ExpressionStart(notice.expression, notice.literalStop)) +
      '\n' + pending.text;
  if (!pending.firstPass && seen_.count(sameExpression) != 0) return;
  if (Keep(std::move(pending))) seen_.insert(sameExpression);
}

bool WarningCollector::Keep(Pending pending) {
  if (!seen_.insert(pending.place + '\n' + pending.text).second) return false;
  pending_.push_back(std::move(pending));
  return true;
}

std::string WarningCollector::Line(const Pending& pending) const {
  const std::string suffix = std::string(" [") + WarningClassName(pending.warningClass) + "]";
  if (!pending.inPass) {
    return FormatMessage(MessageId::kWarning,
                         {pending.fileName, pending.shownLine, pending.shownColumn, pending.text}) +
           suffix;
  }
  return FormatMessage(MessageId::kWarningInPass,
                       {pending.fileName, pending.pass, pending.text, pending.expressionStart}) +
         suffix;
}

}  // namespace morvane
