#include "tests/support/process_runner.h"

#include <windows.h>

#include <vector>

#include "app/unique_resource.h"

ProcessOutput RunProcess(const std::wstring& commandLine, unsigned long timeoutMs) {
  ProcessOutput output;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  UniqueHandle readEnd;
  UniqueHandle writeEnd;
  if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0)) return output;
  ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = writeEnd.Get();
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION info{};
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
    return output;
  }
  output.started = true;
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  writeEnd.Reset();  // the child holds the only write end now, so the read ends when it exits

  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(readEnd.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    output.standardOutput.append(buffer, got);
  }
  ::WaitForSingleObject(process.Get(), timeoutMs);
  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  output.exitCode = code;
  return output;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r' ? 1 : 0)));
    start = end + 1;
  }
  return lines;
}

ScopedEnvironment::ScopedEnvironment(std::wstring name, const std::wstring& value) : name_(std::move(name)) {
  wchar_t buffer[32768];
  const DWORD length = ::GetEnvironmentVariableW(name_.c_str(), buffer, 32768);
  if (length > 0 && length < 32768) {
    hadPrevious_ = true;
    previous_.assign(buffer, length);
  }
  ::SetEnvironmentVariableW(name_.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  ::SetEnvironmentVariableW(name_.c_str(), hadPrevious_ ? previous_.c_str() : nullptr);
}
