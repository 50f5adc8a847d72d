// The process's daily log: one file per day and executable name under the temporary folder, written
// asynchronously by one background thread.
#pragma once

#include <string>

// Produced once per process by InitLogger; destroying it shuts logging down and drains the queue.
class LogGuard {
 public:
  LogGuard() = default;
  LogGuard(const LogGuard&) = delete;
  LogGuard& operator=(const LogGuard&) = delete;
  ~LogGuard();
};

// Sets up the asynchronous default logger. Never throws: if the file cannot be opened, the run goes on
// without a log file.
[[nodiscard]] LogGuard InitLogger(const std::wstring& exeFileName);

// Date text of the log file name: the local date as "2026_12_05".
std::string LogFileDate();

// Today's log file of the executable exeFileName: the temporary folder + "quillon\install logs\" + exe
// name + date + ".log". Shown to the user when an installation fails.
std::wstring LogFilePath(const std::wstring& exeFileName);
