#include "tests/fuzz/differential.h"

#include <cstdio>
#include <cstring>

#include "engine/expand.h"
#include "engine/tag_table.h"
#include "text/text.h"
#include "files/text_files.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/table_snapshot.h"

namespace morvane::fuzz {

namespace {

TableSnapshot gTables[kTableStarts];

// Puts a tag straight into the lowest free entry, bypassing SetData so that any bytes can be a value.
void Put(const char* name, const std::string* value, uint32_t flags = 0) {
  TagEntry* entry = gTagTable.FindFree();
  TagTable::Create(entry, name);
  entry->flags |= flags;
  if (value == nullptr) return;
  entry->data = new char[value->size() + 1];
  std::memcpy(entry->data, value->data(), value->size());
  entry->data[value->size()] = '\0';
  entry->length = static_cast<uint32_t>(value->size());
}

void PutFixtures() {
  const std::string values[] = {
      "[b]",
      "v",
      "ro",
      std::string("a\0b", 3),
      "ab\x81",                    // ends with a lone lead byte
      "\x82\xa0\x82\xa2\x82\xa4",  // あいう
      "\x88\x9f\x88\x9f",          // 亜亜
      "\\[x]",                     // an escape
      "[d]",                       // refers to itself
      "[q data=\"1\"][t]",         // renews itself with a definition
      "[a][a]",                    // grows
      "31",
      "lone",
      "C:\\[b]\\",  // literal: neither its brackets nor its backslashes act
      "[a]\x95",   // literal, ends with a lone lead byte
  };
  Put("a", &values[0]);
  Put("b", &values[1]);
  Put("x", &values[2], TAG_READONLY);
  Put("e", nullptr);
  Put("n", &values[3]);
  Put("l", &values[4]);
  Put("j", &values[5]);
  Put("k", &values[6]);
  Put("s", &values[7]);
  Put("d", &values[8]);
  Put("t", &values[9]);
  Put("A", &values[10]);
  Put("abcdefghijklmnopqrstuvwxyz01234", &values[11]);
  // Under code page 932 this name reads as the empty one.
  Put("\x83", &values[12]);
  Put("r", nullptr, TAG_READONLY);
  // Given as the command line gives its values: read-only and literal, brackets and a last backslash.
  Put("g", &values[13], TAG_READONLY | TAG_LITERAL);
  Put("L", &values[14], TAG_LITERAL);
}

// Filled entries have no value, so that restoring a full table allocates little.
void FillBut(int freeEntries) {
  char name[16];
  for (int index = 0; gTagTable.FindFree() != nullptr && index < kTagCapacity - freeEntries; ++index) {
    if (gTagTable.entries[index].InUse()) continue;
    std::snprintf(name, sizeof name, "F%d", index);
    Put(name, nullptr);
  }
}

void MakeHole(int index) {
  gTagTable.entries[index].Clear();
}

std::string Status(const char* what, int engine, int model, const char* failed) {
  if (engine == model) return "";
  return std::string(what) + ": the engine returned " + std::to_string(engine) + ", the model " +
         std::to_string(model) + (failed != nullptr ? std::string(" (") + failed + ")" : "");
}

}  // namespace

std::string Printable(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      text += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
      text += escaped;
    }
  }
  return text;
}

void PrepareDifferential() {
  const int codePage = ActiveCodePage();
  SetActiveCodePage(kCodePage932);
  for (int start = 0; start < kTableStarts; ++start) {
    gTagTable.ClearAll();
    if (start != 0 && start != 3) DefineFixedBuiltins();
    if (start >= 2) PutFixtures();
    if (start == 4) {
      MakeHole(3);
      MakeHole(30);
    }
    if (start == 5) FillBut(0);
    if (start == 6) FillBut(1);
    if (start == 7) {
      FillBut(2);
      MakeHole(40);
    }
    gTables[start].Take();
  }
  gTagTable.ClearAll();
  SetActiveCodePage(codePage);
}

std::string CompareTable(const std::vector<model::Entry>& expected) {
  for (int index = 0; index < kTagCapacity; ++index) {
    const TagEntry& entry = gTagTable.entries[index];
    const model::Entry& want = expected[static_cast<size_t>(index)];
    const uint32_t flags =
        want.inUse ? TAG_IN_USE | (want.readOnly ? TAG_READONLY : 0) | (want.literal ? TAG_LITERAL : 0) : 0;
    const std::string name(entry.name, strnlen(entry.name, sizeof entry.name));
    const std::string value = entry.data != nullptr ? std::string(entry.data, entry.length) : std::string();
    std::string difference;
    if (entry.flags != flags) {
      difference = "flags " + std::to_string(entry.flags) + ", the model " + std::to_string(flags);
    } else if (name != want.name) {
      difference = "name \"" + Printable(name) + "\", the model \"" + Printable(want.name) + "\"";
    } else if ((entry.data != nullptr) != want.hasValue) {
      difference = entry.data != nullptr ? "a value, the model none" : "no value, the model one";
    } else if (entry.data == nullptr && entry.length != 0) {
      difference = "length " + std::to_string(entry.length) + " without a value";
    } else if (value != want.value) {
      difference = "value \"" + Printable(value) + "\", the model \"" + Printable(want.value) + "\"";
    } else if (entry.data != nullptr && entry.data[entry.length] != '\0') {
      difference = "a value block without its final 0";
    }
    if (!difference.empty()) return "entry " + std::to_string(index) + ": " + difference;
  }
  return "";
}

namespace {

std::string Compare(const uint8_t* data, size_t size, ModelOutcome* outcome) {
  if (size == 0) return "";
  const uint8_t control = data[0];
  const bool doubleByte = (control & 1) != 0;
  SetActiveCodePage(doubleByte ? kCodePage932 : kCodePageNone);
  const uint32_t bufferSize = kDifferentialSizes[(control >> 1) & 7];
  const TableSnapshot& start = gTables[(control >> 4) & 7];
  const WorkBudget budget = (control & 0x80) != 0 ? kTinyBudget : kFuzzBudget;
  SetWorkBudget(budget);
  ++data;
  --size;
  const HeaderAndMain texts = SplitHeaderAndMain(data, size);

  start.Restore();
  model::Model model(model::Characters{doubleByte}, bufferSize,
                     model::Budget{budget.passes, budget.bytes, budget.tags}, ReadTextFile);
  model.table = start.entries();
  std::string difference;

  static WorkBuffer buffer;
  if (texts.headerLength != 0) {
    SetBaseDirectory("\\fuzz\\header.txt");
    buffer.Load(texts.header, texts.headerLength, bufferSize);
    const std::string held(buffer.get(), bufferSize);
    const int engine = ExpandText(nullptr, buffer.get(), bufferSize);
    CheckIdle();
    const int expected = model.Expand(held, nullptr);
    difference = Status("header", engine, expected, model.failed);
    if (difference.empty()) difference = CompareTable(model.table);
    if (!difference.empty()) return "after the header: " + difference;
  }

  SetBaseDirectory("\\fuzz\\main.txt");
  buffer.Load(texts.main, texts.mainLength, bufferSize);
  const std::string held(buffer.get(), bufferSize);
  const int engine = ExpandText(buffer.get(), buffer.get(), bufferSize);
  CheckIdle();
  std::string result;
  const int expected = model.Expand(held, &result);
  if (outcome != nullptr) {
    outcome->status = expected;
    outcome->failed = model.failed != nullptr ? model.failed : "";
    outcome->result = result;
  }
  difference = Status("main", engine, expected, model.failed);
  if (difference.empty() && engine == 1) {
    const std::string text(buffer.get(), strnlen(buffer.get(), bufferSize));
    if (text != result)
      difference = "result \"" + Printable(text) + "\", the model \"" + Printable(result) + "\"";
  }
  if (difference.empty() && engine == 0 && std::memcmp(buffer.get(), held.data(), bufferSize) != 0) {
    difference = "a failed expansion changed its buffer";
  }
  if (difference.empty()) difference = CompareTable(model.table);
  if (!difference.empty()) return "after the main text: " + difference;
  return "";
}

}  // namespace

std::string CompareWithModel(const uint8_t* data, size_t size, ModelOutcome* outcome) {
  const std::string difference = Compare(data, size, outcome);
  // Back to the empty table, which releases every value block the input allocated: libFuzzer runs an input
  // again, looking for leaks, whenever it leaves more allocations than it found.
  gTables[0].Restore();
  return difference;
}

}  // namespace morvane::fuzz
