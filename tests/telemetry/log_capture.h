// Catches what the code under test logs through the default logger, for as long as it lives.
#pragma once

#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct CapturedLine {
  spdlog::level::level_enum level;
  std::string text;
};

class LogCapture {
 public:
  LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture();

  [[nodiscard]] std::vector<CapturedLine> Lines() const;
  [[nodiscard]] std::vector<std::string> Texts() const;

 private:
  class Sink : public spdlog::sinks::base_sink<std::mutex> {
   public:
    std::vector<CapturedLine> Lines();

   protected:
    void sink_it_(const spdlog::details::log_msg& message) override;
    void flush_() override {}

   private:
    std::vector<CapturedLine> lines_;
  };

  std::shared_ptr<Sink> sink_;
  std::shared_ptr<spdlog::logger> previous_;
};
