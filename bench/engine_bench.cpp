// Throughput of the engine on generated workloads: ExpandText alone, and whole update runs where files
// matter.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/workloads.h"
#include "engine/builtins.h"
#include "engine/expand.h"
#include "engine/tag_table.h"
#include "files/text_files.h"
#include "text/text.h"
#include "tool/cli/rows.h"
#include "tool/update_run.h"

namespace morvane::bench {

namespace {

// The table as an update run leaves it before the main text: built-ins, then the header's definitions.
void PrepareTable(const Workload& workload) {
  gTagTable.ClearAll();
  DefineBuiltins();
  if (!workload.header.empty() && !ExpandText(nullptr, workload.header.c_str(), kTextBufferSize)) {
    std::fprintf(stderr, "header expansion failed\n");
    std::exit(1);
  }
}

// Expands the main text over and over against a prepared table; the rate counts main-text bytes.
void RunExpand(benchmark::State& state, const Workload& workload, int codePage) {
  SetActiveCodePage(codePage);
  PrepareTable(workload);
  std::unique_ptr<char[]> destination(new char[kTextBufferSize]);
  size_t resultLength = 0;
  for (auto _ : state) {
    if (!ExpandText(destination.get(), workload.main.c_str(), kTextBufferSize)) {
      state.SkipWithError("expansion failed");
      break;
    }
    benchmark::DoNotOptimize(destination.get());
    resultLength = std::strlen(destination.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(workload.main.size()));
  state.counters["out_bytes"] = static_cast<double>(resultLength);
  gTagTable.ClearAll();
}

void BM_ExpandPlainAscii(benchmark::State& state) {
  static const Workload workload{"", PlainAscii()};
  RunExpand(state, workload, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ExpandPlainAscii)
    ->Arg(kCodePage932)
    ->Arg(kCodePageNone)
    ->Arg(kCodePageUtf8)
    ->Unit(benchmark::kMicrosecond);

void BM_ExpandPlainCp932(benchmark::State& state) {
  static const Workload workload{"", PlainCp932()};
  RunExpand(state, workload, kCodePage932);
}
BENCHMARK(BM_ExpandPlainCp932)->Unit(benchmark::kMicrosecond);

void BM_ExpandRefs(benchmark::State& state) {
  static const Workload workload = Refs();
  RunExpand(state, workload, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_ExpandRefs)
    ->Arg(kCodePage932)
    ->Arg(kCodePageNone)
    ->Arg(kCodePageUtf8)
    ->Unit(benchmark::kMicrosecond);

// The same with an observer listening, as --warn installs one; a template with a mistake on every line gives
// it a notice every 20 bytes.
void CountNotice(void* count, const ExpansionNotice&) {
  ++*static_cast<uint64_t*>(count);
}

void BM_ExpandObserved(benchmark::State& state) {
  static const Workload refs = Refs();
  static const Workload mistakes{"", [] {
                                   std::string text;
                                   while (text.size() < (1u << 20) - 64)
                                     text += "line [missing] x=\"[v min=\"08\"]\n";
                                   return text;
                                 }()};
  uint64_t notices = 0;
  SetExpansionObserver(ExpansionObserver{&CountNotice, &notices});
  RunExpand(state, state.range(0) == 0 ? refs : mistakes, kCodePage932);
  SetExpansionObserver(ExpansionObserver{});
  state.counters["notices"] = static_cast<double>(notices) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ExpandObserved)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ExpandWorst(benchmark::State& state) {
  static const Workload workload = Worst();
  RunExpand(state, workload, kCodePage932);
}
BENCHMARK(BM_ExpandWorst)->Unit(benchmark::kMillisecond);

void BM_ExpandFields(benchmark::State& state) {
  static const Workload workload = Fields();
  RunExpand(state, workload, kCodePage932);
}
BENCHMARK(BM_ExpandFields)->Unit(benchmark::kMicrosecond);

// Japanese names cut and padded: in code page 932 fields count bytes, in utf-8 columns. The rate counts the
// main text's bytes, which differ between the two; compare the times.
void BM_ExpandJapaneseFields(benchmark::State& state) {
  static const Workload cp932 = JapaneseFields("CP932");
  static const Workload utf8 = JapaneseFields("UTF-8");
  const int codePage = static_cast<int>(state.range(0));
  RunExpand(state, codePage == kCodePageUtf8 ? utf8 : cp932, codePage);
}
BENCHMARK(BM_ExpandJapaneseFields)->Arg(kCodePage932)->Arg(kCodePageUtf8)->Unit(benchmark::kMicrosecond);

void BM_ExpandNested(benchmark::State& state) {
  static const Workload workload = Nested(50);
  RunExpand(state, workload, kCodePage932);
}
BENCHMARK(BM_ExpandNested)->Unit(benchmark::kMillisecond);

// One lookup of the last of 1024 tags whose names share their first bytes.
void BM_FindLastOfFullTable(benchmark::State& state) {
  SetActiveCodePage(kCodePage932);
  gTagTable.ClearAll();
  DefineBuiltins();
  for (int i = 0; i < kWorstTags; ++i) gTagTable.Define(WorstName(i).c_str(), "v", 1);
  const std::string name = WorstName(kWorstTags - 1);
  for (auto _ : state) benchmark::DoNotOptimize(gTagTable.Find(name.c_str()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  gTagTable.ClearAll();
}
BENCHMARK(BM_FindLastOfFullTable);

// A folder of its own for the files of the whole-run benchmarks, removed at exit.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/morvane-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "/tmp";
  }
  ~Scratch() {
    std::error_code ignored;
    if (path_ != "/tmp") std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const Scratch& ScratchFolder() {
  static const Scratch scratch;
  return scratch;
}

void RunWholeFiles(benchmark::State& state, const std::string& name, const Workload& workload) {
  SetActiveCodePage(kCodePage932);
  const std::string folder = ScratchFolder().path();
  const std::string header = folder + "/" + name + "-header.txt";
  const std::string main = folder + "/" + name + "-main.txt";
  if (!WriteWholeFile(header, workload.header) || !WriteWholeFile(main, workload.main)) {
    state.SkipWithError("cannot write the workload");
    return;
  }
  std::unique_ptr<char[]> outputBuffer(new char[kTextBufferSize]);
  OutputBuffer = outputBuffer.get();
  const ReportError report = [&state](const ToolMessage& message) { state.SkipWithError(message.text); };
  for (auto _ : state) {
    if (!UpdateRun(header.c_str(), main.c_str(), report).completed) break;
    benchmark::DoNotOptimize(outputBuffer.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(workload.header.size() + workload.main.size()));
  state.counters["out_bytes"] = static_cast<double>(std::strlen(outputBuffer.get()));
  OutputBuffer = nullptr;
  gTagTable.ClearAll();
}

void BM_RunRefs(benchmark::State& state) {
  static const Workload workload = Refs();
  RunWholeFiles(state, "refs", workload);
}
BENCHMARK(BM_RunRefs)->Unit(benchmark::kMicrosecond);

// 100 files read with datafile, each referenced once; the rate counts the main text and the files.
void BM_RunIncludes(benchmark::State& state) {
  static const Workload workload = Includes(ScratchFolder().path());
  RunWholeFiles(state, "includes", workload);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(workload.main.size() + kIncludeCount * 4000));
}
BENCHMARK(BM_RunIncludes)->Unit(benchmark::kMicrosecond);

// One record of a mail merge run in this process, as each worker of --rows runs it: the built-ins, a -D,
// four fields, the header's one definition and a letter of about 1.3 KB with 18 references, standard output.
void BM_RowsRecord(benchmark::State& state) {
  SetActiveCodePage(kCodePageUtf8);
  RowsJob job;
  job.header = "h.txt";
  job.main = "letter.txt";
  job.headerText = MailMergeHeader();
  job.mainText = MailMergeLetter();
  job.definitions = {{"year", "2026"}};
  job.builtins = ReadBuiltinReadings();
  Record record;
  record.line = 2;
  record.fields = {{"id", "1742"}, {"name", "Ito, K."}, {"amount", "98765"}, {"due", "2027-03-14"}};
  std::unique_ptr<char[]> outputBuffer(new char[kTextBufferSize]());
  OutputBuffer = outputBuffer.get();
  NoteOutputBufferIsZero();  // as morvane-cli's own buffer
  size_t length = 0;
  for (auto _ : state) {
    const RecordOutcome outcome = RunRecord(job, record);
    if (outcome.status != 0) {
      state.SkipWithError("the record failed");
      break;
    }
    length = outcome.document.size();
    benchmark::DoNotOptimize(outcome.document.data());
  }
  state.counters["out_bytes"] = static_cast<double>(length);
  OutputBuffer = nullptr;
  gTagTable.ClearAll();
}
BENCHMARK(BM_RowsRecord)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace morvane::bench

// The heap as morvane-cli sets it up: working buffers stay in it between expansions.
int main(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
