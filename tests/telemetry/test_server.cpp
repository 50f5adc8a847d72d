#include "tests/telemetry/test_server.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

const std::filesystem::path kServerFolder = QUILLON_TEST_SERVER_DIR;

bool SameIgnoringCase(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [headerName, value] : headers) {
    if (SameIgnoringCase(headerName, name)) return value;
  }
  return {};
}

size_t RecordedRequest::HeaderCount(const std::string& name) const {
  return std::count_if(headers.begin(), headers.end(),
                       [&name](const auto& header) { return SameIgnoringCase(header.first, name); });
}

namespace test_server {

void SetMode(const std::string& mode) {
  std::ofstream(kServerFolder / L"mode", std::ios::binary | std::ios::trunc) << mode;
}

void Reset(const std::string& mode) {
  SetMode(mode);
  std::ofstream(kServerFolder / L"requests.jsonl", std::ios::binary | std::ios::trunc);
}

std::vector<RecordedRequest> Requests() {
  std::ifstream in(kServerFolder / L"requests.jsonl", std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  std::vector<RecordedRequest> requests;
  // Only whole lines: the server may be writing the next one right now.
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const nlohmann::json entry = nlohmann::json::parse(text.substr(start, end - start));
    RecordedRequest request;
    request.method = entry.at("method").get<std::string>();
    request.path = entry.at("path").get<std::string>();
    for (const auto& header : entry.at("headers")) {
      request.headers.emplace_back(header.at(0).get<std::string>(), header.at(1).get<std::string>());
    }
    request.body = FromHex(entry.at("body_hex").get<std::string>());
    requests.push_back(std::move(request));
  }
  return requests;
}

std::string LongBody() {
  std::string body;
  char part[8];
  for (size_t i = 0; i < kLongBodySize / 6; ++i) {
    std::snprintf(part, sizeof(part), "%05zu|", i);
    body += part;
  }
  return body;
}

}  // namespace test_server

HttpSuccessCallback CallbackRecorder::OnSuccess() {
  return [this](const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    successes_.push_back(body);
    changed_.notify_all();
  };
}

HttpErrorCallback CallbackRecorder::OnError() {
  return [this](DWORD code) {
    std::lock_guard<std::mutex> lock(mutex_);
    errors_.push_back(code);
    changed_.notify_all();
  };
}

bool CallbackRecorder::WaitForCalls(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return successes_.size() + errors_.size() >= count; });
}

std::vector<std::string> CallbackRecorder::Successes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return successes_;
}

std::vector<DWORD> CallbackRecorder::Errors() {
  std::lock_guard<std::mutex> lock(mutex_);
  return errors_;
}

long LiveRequestContexts() {
  const RequestContextCounters& counters = GetRequestContextCounters();
  return counters.created.load() - counters.destroyed.load();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool WaitForContextsFreed(std::chrono::milliseconds timeout) {
  return WaitUntil([] { return LiveRequestContexts() == 0; }, timeout);
}
