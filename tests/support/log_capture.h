// Captures what the code under test logs: an in-memory sink behind a synchronous default logger, with the
// previous default logger put back afterwards. Lines read "[level] message".
#pragma once

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<Sink>()), previous_(spdlog::default_logger()) {
    auto logger = std::make_shared<spdlog::logger>("capture", sink_);
    logger->set_pattern("[%l] %v");
    logger->set_level(spdlog::level::trace);
    spdlog::set_default_logger(std::move(logger));
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture() { spdlog::set_default_logger(previous_); }

  [[nodiscard]] std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(sink_->linesMutex);
    return sink_->lines;
  }

 private:
  struct Sink : spdlog::sinks::base_sink<std::mutex> {
    std::mutex linesMutex;
    std::vector<std::string> lines;

   protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
      spdlog::memory_buf_t text;
      formatter_->format(message, text);
      std::string line(text.data(), text.size());
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      std::lock_guard<std::mutex> lock(linesMutex);
      lines.push_back(std::move(line));
    }
    void flush_() override {}
  };

  std::shared_ptr<Sink> sink_;
  std::shared_ptr<spdlog::logger> previous_;
};
