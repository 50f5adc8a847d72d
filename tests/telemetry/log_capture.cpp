#include "tests/telemetry/log_capture.h"

LogCapture::LogCapture() : sink_(std::make_shared<Sink>()), previous_(spdlog::default_logger()) {
  auto logger = std::make_shared<spdlog::logger>("capture", sink_);
  logger->set_level(spdlog::level::info);
  spdlog::set_default_logger(std::move(logger));
}

LogCapture::~LogCapture() { spdlog::set_default_logger(previous_); }

std::vector<CapturedLine> LogCapture::Lines() const { return sink_->Lines(); }

std::vector<std::string> LogCapture::Texts() const {
  std::vector<std::string> texts;
  for (const CapturedLine& line : Lines()) texts.push_back(line.text);
  return texts;
}

std::vector<CapturedLine> LogCapture::Sink::Lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void LogCapture::Sink::sink_it_(const spdlog::details::log_msg& message) {
  lines_.push_back({message.level, std::string(message.payload.data(), message.payload.size())});
}
