#include "tool/warnings.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/tag_table.h"
#include "files/text_files.h"
#include "text/text.h"
#include "text/unicode_width.h"
#include "tool/message_text.h"
#include "tool/messages.h"

namespace morvane {

namespace {

// Bytes of the character at p, as the active code page reads it: a whole UTF-8 sequence in utf-8.
size_t CharacterBytes(const char* p) {
  if (ActiveCodePage() == kCodePageUtf8) {
    const int length = WellFormedLength(p, p + std::strlen(p));
    return length > 0 ? static_cast<size_t>(length) : 1;
  }
  return static_cast<size_t>(CharLength(p));
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

}  // namespace

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

void WarningCollector::TellLine(const std::string& line) {
  sink_(line);
  ++told_;
}

bool WarningCollector::Given(const TagEntry* tag) const {
  return tag != nullptr && given_.test(static_cast<size_t>(tag - gTagTable.entries));
}

void WarningCollector::Referenced(void* self, const TagEntry& tag) {
  static_cast<WarningCollector*>(self)->referenced_.set(static_cast<size_t>(&tag - gTagTable.entries));
}

void WarningCollector::Begin(const std::string& fileName, const char* text) {
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

void WarningCollector::Add(const ExpansionNotice& notice) {
  // A data or datafile on a tag that the front end gave is a default that the given value overrides.
  if (notice.event == ExpansionEvent::kReadOnly && Given(notice.tag)) return;
  Pending pending;
  pending.firstPass = notice.pass == 1;
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
  if (pending.firstPass) {
    // A word that begins with a line break is told where its first visible byte stands.
    const char* at = notice.at;
    while (*at == '\r' || *at == '\n') ++at;
    LineAndColumn(at, &pending.line, &pending.column);
    pending.lineOrPass[0] = std::to_string(pending.line);
    pending.lineOrPass[1] = std::to_string(pending.column);
    pending.place = pending.lineOrPass[0] + ":" + pending.lineOrPass[1];
    // An expression that began on an earlier line has most likely lost its ']'.
    size_t startLine = 0;
    size_t startColumn = 0;
    LineAndColumn(notice.expression, &startLine, &startColumn);
    if (startLine != pending.line) pending.text += OpenExpressionNote(notice.name, startLine, startColumn);
  } else {
    // A text a later pass reads has no lines of the file: the expression's first bytes stand for the place,
    // the same in every pass that meets it.
    pending.lineOrPass[0] = std::to_string(notice.pass);
    pending.lineOrPass[2] = ExpressionStart(notice.expression, notice.literalStop);
    pending.place = pending.lineOrPass[2];
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
  if (!seen_.insert(pending.place + '\n' + pending.text).second) return;
  seen_.insert(sameExpression);
  pending_.push_back(std::move(pending));
}

std::string WarningCollector::Line(const Pending& pending) const {
  if (pending.firstPass) {
    return FormatMessage(MessageId::kWarning,
                         {fileName_, pending.lineOrPass[0], pending.lineOrPass[1], pending.text});
  }
  return FormatMessage(MessageId::kWarningInPass,
                       {fileName_, pending.lineOrPass[0], pending.text, pending.lineOrPass[2]});
}

}  // namespace morvane
