// --rows on Windows: the records run one after the other in this process.
#include "tool/cli/cli_options.h"
#include "tool/cli/rows.h"
#include "tool/messages.h"

namespace morvane {

int RunRows(const RowsJob& job, const RowsMerger::LineSink& lines,
            const RowsMerger::DocumentSink& documents) {
  RowsMerger merger(job, lines, documents);
  FileStream data;
  if (!OpenRowsData(job, &merger, &data)) return merger.Finish();
  RecordFeed feed(job, &merger, [&data](char* buffer, size_t size) { return data.Read(buffer, size); });
  RunRecordsHere(job, &merger, &feed, []() { return false; });
  return merger.Finish();
}

}  // namespace morvane
