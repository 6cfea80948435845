#include "tool/cli/run_files.h"

#include <algorithm>

#include "tool/cli/cli_platform.h"

namespace morvane {

void AddNamedInput(std::vector<RunInput>* inputs, const std::string& role, const char* path) {
  FileIdentity identity;
  if (ReadNamedFileIdentity(path, &identity) && identity.regular) inputs->push_back({role, identity});
}

const RunInput* InputReplacedBy(const char* path, const std::vector<RunInput>& inputs) {
  FileIdentity output;
  // A write replaces only a regular file; a device or a FIFO is written to, and a new file replaces nothing.
  if (!ReadNamedFileIdentity(path, &output) || !output.regular) return nullptr;
  for (const RunInput& input : inputs) {
    if (input.identity.SameFile(output)) return &input;
  }
  return nullptr;
}

RunReads::RunReads(UnreadableSink sink) : sink_(std::move(sink)) {
  ReadObserver observer;
  observer.found = &RunReads::Found;
  observer.unreadable = &RunReads::Unreadable;
  observer.context = this;
  SetReadObserver(observer);
}

RunReads::~RunReads() {
  SetReadObserver(ReadObserver());
}

void RunReads::Found(void* self, const char* fileName, const FileIdentity* opened) {
  auto* reads = static_cast<RunReads*>(self);
  reads->dependencies_.Add(fileName);
  if (opened != nullptr && opened->regular) {
    reads->read_.push_back({"datafile " + ArgumentForMessage(fileName), *opened});
  }
}

void RunReads::Unreadable(void* self, const char* path, FileError error, int systemError) {
  auto* reads = static_cast<RunReads*>(self);
  // A datafile read in every pass is told once.
  const std::string key = reads->expanding_ + '\n' + path;
  if (std::find(reads->unreadable_.begin(), reads->unreadable_.end(), key) != reads->unreadable_.end())
    return;
  reads->unreadable_.push_back(key);
  if (reads->sink_) reads->sink_({reads->expanding_, path, error, systemError});
}

}  // namespace morvane
