// Writes the workloads of bench/compare.sh into a folder, in this tool's form and in the forms of its
// peers: GNU m4 (define and bare macro names) and envsubst (an environment file and ${name}).
//
//   morvane_workload FOLDER
//
// For each workload W of plain, plain932, refs, worst, small, empty, fields932 and fields8: W-header.txt and
// W-main.txt for this tool; for refs, worst and small also W-defs.m4 and W-main.m4, W.env (NAME=value lines)
// and W-main.envsubst.
// fields932 and fields8 are one template of Japanese fields, in code page 932 and in UTF-8.
#include <cstdio>
#include <string>

#include "bench/workloads.h"

namespace {

using morvane::bench::Workload;

// Rewrites every [name] of a text that holds only plain references as open + name + close.
std::string Rewrite(const std::string& text, const char* open, const char* close) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    if (c == '[') {
      out += open;
    } else if (c == ']') {
      out += close;
    } else {
      out += c;
    }
  }
  return out;
}

bool Write(const std::string& folder, const std::string& name, const std::string& text) {
  if (morvane::bench::WriteWholeFile(folder + "/" + name, text)) return true;
  std::fprintf(stderr, "morvane_workload: cannot write %s/%s\n", folder.c_str(), name.c_str());
  return false;
}

// The peers' forms of a workload whose header defines `count` tags and whose main text only references.
template <typename NameOf, typename ValueOf>
bool WritePeers(const std::string& folder, const std::string& stem, const Workload& workload, int count,
                NameOf nameOf, ValueOf valueOf) {
  std::string defines;
  std::string environment;
  for (int i = 0; i < count; ++i) {
    defines += "define(`" + nameOf(i) + "', `" + valueOf(i) + "')dnl\n";
    environment += nameOf(i) + "=" + valueOf(i) + "\n";
  }
  return Write(folder, stem + "-defs.m4", defines) && Write(folder, stem + ".env", environment) &&
         Write(folder, stem + "-main.m4", Rewrite(workload.main, "", "")) &&
         Write(folder, stem + "-main.envsubst", Rewrite(workload.main, "${", "}"));
}

bool WriteOwn(const std::string& folder, const std::string& stem, const Workload& workload) {
  return Write(folder, stem + "-header.txt", workload.header) &&
         Write(folder, stem + "-main.txt", workload.main);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvane_workload FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  namespace b = morvane::bench;

  const Workload plain{"", b::PlainAscii()};
  const Workload plain932{"", b::PlainCp932()};
  const Workload refs = b::Refs();
  const Workload worst = b::Worst();
  bool ok = WriteOwn(folder, "plain", plain) && WriteOwn(folder, "plain932", plain932) &&
            WriteOwn(folder, "refs", refs) && WriteOwn(folder, "worst", worst) &&
            WriteOwn(folder, "fields932", b::JapaneseFields("CP932")) &&
            WriteOwn(folder, "fields8", b::JapaneseFields("UTF-8"));
  // Plain text is plain text for every peer.
  ok = ok && Write(folder, "plain-main.m4", plain.main) && Write(folder, "plain-main.envsubst", plain.main) &&
       Write(folder, "plain-defs.m4", "") && Write(folder, "plain.env", "");
  ok = ok && WritePeers(folder, "refs", refs, b::kRefTags, b::RefName, b::RefValue);
  ok = ok && WritePeers(folder, "worst", worst, b::kWorstTags, b::WorstName, b::WorstValue);
  // A small template, and an empty main file (the cost of a start and nothing else).
  const Workload small = b::Small();
  ok = ok && WriteOwn(folder, "small", small) &&
       WritePeers(folder, "small", small, b::kSmallTags, b::SmallName, b::SmallValue) &&
       WriteOwn(folder, "empty", Workload{"", ""});
  // The mail merge of --rows, and its letter for Jinja2.
  ok = ok && Write(folder, "merge-header.txt", b::MailMergeHeader()) &&
       Write(folder, "merge-letter.txt", b::MailMergeLetter()) &&
       Write(folder, "merge-letter.jinja", b::MailMergeLetterJinja()) &&
       Write(folder, "merge-3000.csv", b::MailMergeCsv(3000)) &&
       Write(folder, "merge-100000.csv", b::MailMergeCsv(100000));
  return ok ? 0 : 1;
}
