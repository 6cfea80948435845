// A temporary directory for tests that run the tool against real files, and OutputBuffer for the run.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "text/text.h"
#include "tool/update_run.h"

namespace morvane {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("morvane-test-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Writes `bytes` to the relative path `name` (folders created) and returns the full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Owns OutputBuffer for one test, filled with junk so that every test sees what the run itself writes.
class OutputBufferScope {
 public:
  OutputBufferScope() : storage_(kTextBufferSize, '#') { OutputBuffer = storage_.data(); }
  ~OutputBufferScope() { OutputBuffer = nullptr; }
  OutputBufferScope(const OutputBufferScope&) = delete;
  OutputBufferScope& operator=(const OutputBufferScope&) = delete;

  bool AllZero() const {
    for (char byte : storage_) {
      if (byte != '\0') return false;
    }
    return true;
  }

 private:
  std::vector<char> storage_;
};

// Collects the messages of a run in order.
struct MessageLog {
  std::vector<std::string> messages;
  ReportError Sink() {
    return [this](const ToolMessage& message) { messages.emplace_back(message.text); };
  }
};

}  // namespace morvane
