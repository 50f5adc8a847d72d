#include "engine/kill_running_app.h"

#include <windows.h>
#include <tlhelp32.h>

#include <spdlog/spdlog.h>

#include <optional>

#include "app/text_encoding.h"
#include "app/unique_resource.h"

namespace {

constexpr DWORD kExitWaitMs = 5000;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The absolute form of path with "\" separators, "." and ".." resolved, short names made long where the
// path exists, and no trailing separator. Empty when the text is not a path.
std::wstring Normalised(const std::wstring& path) {
  if (path.empty()) return {};
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return {};
  full.resize(length);
  std::wstring longForm(full.size() + MAX_PATH, L'\0');
  const DWORD longLength = ::GetLongPathNameW(full.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
  if (longLength > 0 && longLength < longForm.size()) full.assign(longForm.data(), longLength);
  while (!full.empty() && IsSeparator(full.back())) full.pop_back();
  return full;
}

// "C:\..." or "\\server\share\...": a relative text ("Quillon", "C:Quillon") would name a folder that
// depends on the current directory.
bool IsAbsolute(const std::wstring& text) {
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) return true;
  return text.size() >= 3 && ::iswalpha(text[0]) && text[1] == L':' && IsSeparator(text[2]);
}

// "C:" (from "C:\") or "\\server\share": folders that would take in a whole volume.
bool IsRoot(const std::wstring& folder) {
  if (folder.size() <= 2) return true;
  if (folder.rfind(L"\\\\", 0) == 0) {
    const size_t share = folder.find(L'\\', 2);
    return share == std::wstring::npos || folder.find(L'\\', share + 1) == std::wstring::npos;
  }
  return folder.find(L'\\') == std::wstring::npos;
}

bool EqualIgnoringCase(const wchar_t* a, size_t aLength, const std::wstring& b) {
  return ::CompareStringOrdinal(a, static_cast<int>(aLength), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::optional<std::wstring> ImagePathOf(HANDLE process) {
  std::wstring path(32768, L'\0');
  DWORD length = static_cast<DWORD>(path.size());
  if (!::QueryFullProcessImageNameW(process, 0, path.data(), &length)) return std::nullopt;
  path.resize(length);
  return path;
}

// Ends one process of a listed name when its program lives in folders; true when it was terminated
// (whether or not it vanished in time).
bool EndIfInFolders(const std::wstring& name, DWORD processId, const std::vector<std::wstring>& folders) {
  // One handle for the path check and the termination, so the process ended is the process checked even if
  // its id is reused meanwhile. SYNCHRONIZE as well: without it the bounded wait below fails at once on
  // Windows, and extraction would start while the ended process still holds its files.
  UniqueHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  if (!process) {
    // Whether it is ours decides whether the refusal matters.
    UniqueHandle query(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    const std::optional<std::wstring> image = query ? ImagePathOf(query.Get()) : std::nullopt;
    if (!image) {
      spdlog::warn("无法读取进程 {} 的程序路径 (PID: {})，未结束它", WideToAnsi(name), processId);
    } else if (ProgramIsInFolders(*image, folders)) {
      spdlog::warn("无法获取进程 {} 的结束权限 (PID: {})", WideToAnsi(name), processId);
    }
    return false;
  }
  const std::optional<std::wstring> image = ImagePathOf(process.Get());
  if (!image) {
    spdlog::warn("无法读取进程 {} 的程序路径 (PID: {})，未结束它", WideToAnsi(name), processId);
    return false;
  }
  if (!ProgramIsInFolders(*image, folders)) return false;  // another program's copy of a common name
  if (!::TerminateProcess(process.Get(), 0)) return false;
  if (::WaitForSingleObject(process.Get(), kExitWaitMs) != WAIT_OBJECT_0) {
    spdlog::warn("进程终止超时，可能存在僵尸进程");
  }
  return true;
}

}  // namespace

bool ProgramIsInFolders(const std::wstring& imagePath, const std::vector<std::wstring>& folders) {
  const std::wstring image = Normalised(imagePath);
  const size_t lastSeparator = image.find_last_of(L'\\');
  if (lastSeparator == std::wstring::npos) return false;
  for (const std::wstring& text : folders) {
    if (!IsAbsolute(text)) continue;
    const std::wstring folder = Normalised(text);
    if (folder.empty() || IsRoot(folder) || lastSeparator < folder.size()) continue;
    // The program's folder is the folder itself or one below it: the prefix must end at a separator.
    if (image[folder.size()] == L'\\' && EqualIgnoringCase(image.c_str(), folder.size(), folder)) return true;
  }
  return false;
}

int KillProcessesByName(const std::vector<std::wstring>& names, const std::vector<std::wstring>& folders) {
  if (names.empty() || folders.empty()) return 0;
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;

  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  if (!::Process32FirstW(snapshot.Get(), &entry)) return 0;
  int ended = 0;
  do {
    for (const std::wstring& name : names) {
      if (::_wcsicmp(entry.szExeFile, name.c_str()) != 0) continue;
      if (EndIfInFolders(name, entry.th32ProcessID, folders)) ++ended;
      break;  // one match per process
    }
  } while (::Process32NextW(snapshot.Get(), &entry));
  return ended;
}

void KillRunningApp(const std::vector<std::wstring>& folders) {
  const std::vector<std::wstring> names = {L"quillon_launcher.exe", L"quillon.exe", L"quillon_crosshair.exe",
                                           L"crashpad_handler.exe"};
  spdlog::info("第一次Kill 共关闭了 {} 个相关进程", KillProcessesByName(names, folders));
  spdlog::info("第二次Kill 共关闭了 {} 个相关进程", KillProcessesByName(names, folders));
  spdlog::info("第三次Kill 共关闭了 {} 个相关进程", KillProcessesByName(names, folders));
}
