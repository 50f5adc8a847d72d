// Runs a child program and collects what it printed.
#pragma once

#include <string>
#include <vector>

struct ProcessOutput {
  unsigned long exitCode = 0xFFFFFFFF;
  std::string standardOutput;
  bool started = false;
};

ProcessOutput RunProcess(const std::wstring& commandLine, unsigned long timeoutMs = 60000);

// The lines of a program's output or a file, without their Windows line ends.
std::vector<std::string> SplitLines(const std::string& text);

// Sets an environment variable of this process (children inherit it) and restores it afterwards.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::wstring name, const std::wstring& value);
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment();

 private:
  std::wstring name_;
  std::wstring previous_;
  bool hadPrevious_ = false;
};
