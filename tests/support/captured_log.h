// Captures the lines written through the process-wide default logger while a test runs.
#pragma once

#include <spdlog/logger.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct LogLine {
  spdlog::level::level_enum level;
  std::string text;  // the message alone, UTF-8

  bool operator==(const LogLine& other) const { return level == other.level && text == other.text; }
};
inline void PrintTo(const LogLine& line, std::ostream* out) { *out << line.level << " " << line.text; }

class CaptureSink;

// Installs an in-memory sink as the default logger (synchronous, level info) and restores the previous
// default logger when destroyed.
class CapturedLog {
 public:
  CapturedLog();
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;
  ~CapturedLog();

  [[nodiscard]] std::vector<LogLine> Lines() const;
  // The message texts alone, in order.
  [[nodiscard]] std::vector<std::string> Texts() const;
  // Lines of the level whose text starts with prefix.
  [[nodiscard]] std::vector<std::string> Find(spdlog::level::level_enum level, const std::string& prefix) const;
  [[nodiscard]] size_t CountAtLevel(spdlog::level::level_enum level) const;
  void Clear();

 private:
  std::shared_ptr<CaptureSink> sink_;
  std::shared_ptr<spdlog::logger> previous_;
};
