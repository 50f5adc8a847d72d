#include "tests/support/captured_log.h"

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <mutex>

class CaptureSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<LogLine> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
    lines_.shrink_to_fit();
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& message) override {
    lines_.push_back({message.level, std::string(message.payload.data(), message.payload.size())});
  }
  void flush_() override {}

 private:
  std::vector<LogLine> lines_;
};

CapturedLog::CapturedLog() : sink_(std::make_shared<CaptureSink>()), previous_(spdlog::default_logger()) {
  auto logger = std::make_shared<spdlog::logger>("capture", sink_);
  logger->set_level(spdlog::level::info);
  spdlog::set_default_logger(std::move(logger));
}

CapturedLog::~CapturedLog() { spdlog::set_default_logger(previous_); }

std::vector<LogLine> CapturedLog::Lines() const { return sink_->Lines(); }

std::vector<std::string> CapturedLog::Texts() const {
  std::vector<std::string> texts;
  for (const LogLine& line : Lines()) texts.push_back(line.text);
  return texts;
}

std::vector<std::string> CapturedLog::Find(spdlog::level::level_enum level, const std::string& prefix) const {
  std::vector<std::string> found;
  for (const LogLine& line : sink_->Lines()) {
    if (line.level == level && line.text.compare(0, prefix.size(), prefix) == 0) found.push_back(line.text);
  }
  return found;
}

size_t CapturedLog::CountAtLevel(spdlog::level::level_enum level) const {
  size_t count = 0;
  for (const LogLine& line : sink_->Lines()) count += line.level == level;
  return count;
}

void CapturedLog::Clear() { sink_->Clear(); }
