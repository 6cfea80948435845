#include "bench/workloads.h"

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace morvane::bench {

namespace {

// A small fixed-seed generator: the same sequence on every run and platform.
class Sequence {
 public:
  explicit Sequence(uint32_t seed) : state_(seed) {}
  uint32_t Next(uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }

 private:
  uint32_t state_;
};

// Plain words: no brackets, backslashes, dollars, quotes or commas, and none of m4's built-in names, so the
// peers read the same text as plain text too.
constexpr const char* kWords[] = {"alpha", "bravo", "the",    "quick", "brown",  "fox",    "jumps",
                                  "over",  "lazy",  "dog",    "value", "table",  "entry",  "field",
                                  "width", "text",  "buffer", "pass",  "output", "header", "main"};

// Japanese phrases, converted to code page 932 once: long and short vowel marks, katakana with trail
// bytes 0x5B and 0x5C, and kanji.
constexpr const char* kPhrases[] = {"データ", "を読み込みます。", "表示する値は", "ソース",
                                    "です。", "テーブル",         "の幅",         "出力結果"};

// A UTF-8 text in `charset`; empty when it cannot be converted. No character of the code pages used takes
// more bytes than in UTF-8.
std::string Convert(const std::string& utf8, const char* charset) {
  iconv_t cd = iconv_open(charset, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(utf8.size() + 16, '\0');
  char* inPtr = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t status = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (status == static_cast<size_t>(-1)) return {};
  out.resize(static_cast<size_t>(outPtr - out.data()));
  return out;
}

std::string ToCp932(const char* utf8) {
  return Convert(utf8, "CP932");
}

// Fills a text up to kMaxText bytes with pieces chosen by the sequence, a line break every ~70 bytes.
template <typename Pick>
std::string FillPlain(Pick pick) {
  std::string text;
  text.reserve(kMaxText);
  size_t line = 0;
  for (;;) {
    const std::string& piece = pick();
    if (text.size() + piece.size() + 1 > kMaxText) break;
    text += piece;
    line += piece.size() + 1;
    if (line > 70) {
      text += '\n';
      line = 0;
    } else {
      text += ' ';
    }
  }
  text.append(kMaxText - text.size(), '.');
  return text;
}

std::string Number(int value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", digits, value);
  return buffer;
}

}  // namespace

std::string PlainAscii() {
  Sequence sequence(1);
  std::string word;
  return FillPlain([&]() -> const std::string& {
    word = kWords[sequence.Next(sizeof kWords / sizeof kWords[0])];
    return word;
  });
}

std::string PlainCp932() {
  std::vector<std::string> phrases;
  for (const char* phrase : kPhrases) phrases.push_back(ToCp932(phrase));
  Sequence sequence(2);
  return FillPlain([&]() -> const std::string& { return phrases[sequence.Next(phrases.size())]; });
}

std::string RefName(int index) {
  return "tag" + Number(index, 2);
}

std::string RefValue(int index) {
  return "value-" + Number(index, 2);
}

Workload Refs() {
  Workload workload;
  for (int i = 0; i < kRefTags; ++i) {
    workload.header += "[" + RefName(i) + " data=\"" + RefValue(i) + "\"]\n";
  }
  Sequence sequence(3);
  workload.main.reserve(kRefCount * 10 + kRefCount / 6);
  for (int i = 0; i < kRefCount; ++i) {
    workload.main += "[" + RefName(static_cast<int>(sequence.Next(kRefTags))) + "] w";
    workload.main += (i % 6 == 5) ? '\n' : ' ';
  }
  return workload;
}

std::string SmallName(int index) {
  return "field" + std::to_string(index);
}

std::string SmallValue(int index) {
  return "value" + std::to_string(index);
}

Workload Small() {
  Workload workload;
  for (int i = 0; i < kSmallTags; ++i)
    workload.header += "[" + SmallName(i) + " data=\"" + SmallValue(i) + "\"]";
  for (int i = 0; i < 50; ++i) {
    workload.main += "Line " + Number(i, 2) + ": [" + SmallName(i % kSmallTags) + "] and [" +
                     SmallName(i * 3 % kSmallTags) + "].\n";
  }
  return workload;
}

std::string WorstName(int index) {
  return "tag" + Number(index, 4);
}

std::string WorstValue(int index) {
  return "v" + Number(index, 4);
}

Workload Worst() {
  Workload workload;
  for (int i = 0; i < kWorstTags; ++i) {
    workload.header += "[" + WorstName(i) + " data=\"" + WorstValue(i) + "\"]\n";
  }
  // Separated by spaces, so the peers see one macro name per reference too.
  const std::string reference = "[" + WorstName(kWorstTags - 1) + "] ";
  workload.main.reserve(kMaxText);
  while (workload.main.size() + reference.size() <= kMaxText) workload.main += reference;
  workload.main.append(kMaxText - workload.main.size(), ' ');
  return workload;
}

Workload Fields() {
  Workload workload;
  // Values of 0 to 45 bytes; f9 has none at all.
  constexpr const char* kValues[] = {"",
                                     "7",
                                     "abc",
                                     "right",
                                     "centered",
                                     "a longer value of text",
                                     "0123456789abcdef",
                                     "x",
                                     "the quick brown fox jumps over the dog"};
  for (int i = 0; i < 9; ++i) {
    workload.header += "[f" + std::to_string(i) + " data=\"" + kValues[i] + "\"]\n";
  }
  workload.header += "[f9 readonly=\"yes\"]\n";
  constexpr const char* kShapes[] = {
      " min=\"12\" align=\"right\" padding=\"0\"",   // fill on the left
      " min=\"20\" align=\"center\" padding=\"-\"",  // fill on both sides
      " min=\"9\"",                                  // fill with spaces on the right
      " max=\"3\" align=\"center\"",                 // cut in the middle
      " max=\"5\" align=\"right\"",                  // keep the end
      " max=\"4\"",                                  // keep the start
      " loop=\"3\" min=\"6\"",                       // repeated fills
      " loop=\"2\" max=\"4\" align=\"left\"",        // repeated cuts
      " min=\"8\" max=\"8\" align=\"center\" padding=\"*\"",
      "",
  };
  Sequence sequence(4);
  while (workload.main.size() < 600000) {
    workload.main += "[f" + std::to_string(sequence.Next(10)) + kShapes[sequence.Next(10)] + "]";
    workload.main += sequence.Next(4) == 0 ? '\n' : '|';
  }
  return workload;
}

Workload JapaneseFields(const char* charset) {
  Workload workload;
  // Full-width kanji and kana, half-width katakana, and names with a half-width space. None holds a second
  // byte of 0x5B-0x5D in code page 932, so a cut there that keeps a second byte never starts a tag.
  constexpr const char* kNames[] = {"山田 太郎", "佐藤 花子", "開発部",           "営業第一課",
                                    "総務",      "鈴木一郎",  "株式会社日本商事", "東京都千代田区",
                                    "テスト",    "ﾃﾞｰﾀ ｾﾝﾀｰ", "品質保証課",       "情報システム部"};
  constexpr int kNameCount = sizeof kNames / sizeof kNames[0];
  for (int i = 0; i < kNameCount; ++i) {
    workload.header += "[j" + std::to_string(i) + " data=\"" + kNames[i] + "\"]\n";
  }
  constexpr const char* kShapes[] = {
      " min=\"12\"",                                           // a name column
      " min=\"12\" align=\"right\" padding=\".\"",             // right-aligned, dotted
      " min=\"14\" align=\"center\" padding=\"*\"",            // a centred heading
      " max=\"6\"",                                            // the start
      " max=\"5\" align=\"right\"",                            // the end, often inside a character
      " max=\"7\" align=\"center\"",                           // the middle
      " min=\"10\" max=\"10\"",                                // a fixed column
      " min=\"10\" max=\"10\" align=\"right\" padding=\"-\"",  // the same on the right
      " loop=\"2\" max=\"4\"",                                 // repeated cuts
      "",
  };
  Sequence sequence(5);
  std::string main;
  main.reserve(kMaxText);
  while (main.size() < kMaxText - 128) {
    main += "[j" + std::to_string(sequence.Next(kNameCount)) + kShapes[sequence.Next(10)] + "]";
    main += sequence.Next(6) == 0 ? '\n' : '|';
  }
  const bool utf8 = std::strcmp(charset, "UTF-8") == 0;
  workload.main = utf8 ? main : Convert(main, charset);
  if (!utf8) workload.header = Convert(workload.header, charset);
  return workload;
}

Workload Nested(int depth) {
  Workload workload;
  workload.header += "[n0 data=\"base\"]\n";
  for (int level = 1; level <= depth; ++level) {
    // Each level adds one letter, so the text grows as the passes peel the levels.
    const char letter = static_cast<char>('a' + level % 26);
    workload.header +=
        "[n" + std::to_string(level) + " data=\"[n" + std::to_string(level - 1) + "]" + letter + "\"]\n";
  }
  const std::string reference = "[n" + std::to_string(depth) + "] ";
  for (int i = 0; i < 10000; ++i) workload.main += reference;
  return workload;
}

Workload Includes(const std::string& directory, int count) {
  Workload workload;
  std::filesystem::create_directories(directory + "/parts");
  const std::string plain = PlainAscii();
  for (int i = 0; i < count; ++i) {
    const std::string name = "inc" + Number(i, 2);
    // 4 KB pieces of plain text, each a different slice.
    WriteWholeFile(directory + "/parts/" + name + ".txt", plain.substr(static_cast<size_t>(i) * 4096, 4000));
    workload.main += "[" + name + " datafile=\"\\parts\\" + name + ".txt\"][" + name + "]\n";
  }
  return workload;
}

int WriteWholeFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return (std::fclose(file) == 0 && written) ? 1 : 0;
}

namespace {

// The letter's ordinary lines, the same in both forms.
std::string LetterBody() {
  std::string body;
  for (int i = 0; i < 11; ++i) {
    body += "This is a line of ordinary letter text that pads the letter to its size, nothing more.\n";
  }
  return body;
}

}  // namespace

std::string MailMergeHeader() {
  return "[sender data=\"Accounts\"]";
}

std::string MailMergeLetter() {
  return "Dear [name],\n\nOur records show an amount of [amount min=\"10\" align=\"right\"] yen, due on "
         "[due].\n"
         "Reference: [id min=\"8\" padding=\"0\" align=\"right\"]. Please quote [id] when you pay.\n" +
         LetterBody() +
         "\nAmount again: [amount] / due [due] / customer [name] ([id]).\nKind regards, [sender]\n"
         "[name max=\"10\"] [amount max=\"3\"] [due max=\"4\"] [id] [name] [amount] [due] [sender]\n";
}

std::string MailMergeLetterJinja() {
  return "Dear {{ name }},\n\nOur records show an amount of {{ amount.rjust(10) }} yen, due on {{ due }}.\n"
         "Reference: {{ id.rjust(8, '0') }}. Please quote {{ id }} when you pay.\n" +
         LetterBody() +
         "\nAmount again: {{ amount }} / due {{ due }} / customer {{ name }} ({{ id }}).\nKind regards, "
         "{{ sender }}\n"
         "{{ name[:10] }} {{ amount[:3] }} {{ due[:4] }} {{ id }} {{ name }} {{ amount }} {{ due }} {{ "
         "sender "
         "}}\n";
}

std::string MailMergeCsv(int records) {
  static const char* const kNames[] = {"Ito", "Sato", "Suzuki", "Tanaka", "Watanabe", "Yamamoto"};
  std::string csv = "id,name,amount,due\n";
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFF;
  };
  for (int i = 1; i <= records; ++i) {
    csv += std::to_string(i) + ",\"" + kNames[next() % 6] + ", " + static_cast<char>('A' + next() % 26) +
           ".\"," + std::to_string(1 + next() % 99999) + ",2027-0" + std::to_string(1 + next() % 9) + "-1" +
           std::to_string(next() % 10) + "\n";
  }
  return csv;
}

}  // namespace morvane::bench
