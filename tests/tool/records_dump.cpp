// Prints the records of a data file, one a line, as JSON: [line, [[name, value], ...]], or ["problem", line]
// for one the reader refuses. The differential test of the CSV reader compares this with Python's csv module.
#include <cstdio>
#include <cstring>
#include <string>

#include "files/text_files.h"
#include "text/text.h"
#include "tool/records.h"

namespace {

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morvane;
  if (argc != 3) {
    std::fprintf(stderr, "usage: records_dump csv|tsv|jsonl FILE\n");
    return 64;
  }
  SetActiveCodePage(kCodePageUtf8);
  RecordFormat format;
  if (!RecordFormatFromName(argv[1], &format)) return 64;
  FileStream data;
  if (!data.Open(argv[2])) return 1;
  RecordReader reader(format, [&data](char* buffer, size_t size) { return data.Read(buffer, size); });
  for (;;) {
    Record record;
    RecordError error;
    const int result = reader.Next(&record, &error);
    if (result == 0) break;
    if (result < 0) {
      std::printf("[\"problem\", %llu]\n", static_cast<unsigned long long>(error.line));
      if (error.fatal) return 1;
      continue;
    }
    std::string line = "[" + std::to_string(record.line) + ", [";
    for (size_t i = 0; i < record.fields.size(); ++i) {
      if (i != 0) line += ", ";
      line += "[" + Json(record.fields[i].name) + ", " + Json(record.fields[i].value) + "]";
    }
    std::printf("%s]]\n", line.c_str());
  }
  return 0;
}
