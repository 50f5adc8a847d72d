// Stands in for icacls.exe beside an installer under test, so that a test can hold the install worker at
// its permissions step: it appends its command line to "icacls.log" in its own folder, waits until the
// test creates "icacls.release" there (two minutes at most), then runs the system's icacls with the same
// arguments and returns its exit code.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

void AppendLine(const std::wstring& file, const std::wstring& text) {
  HANDLE handle = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), length, nullptr, nullptr);
  utf8 += "\n";
  DWORD written = 0;
  ::WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(handle);
}

// The command line without its first token (the program name, quoted or not).
std::wstring ArgumentsOf(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  if (*p == L'"') {
    ++p;
    while (*p != 0 && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != 0 && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int main() {
  const std::wstring folder = OwnFolder();
  AppendLine(folder + L"\\icacls.log", ::GetCommandLineW());
  const std::wstring release = folder + L"\\icacls.release";
  for (int waited = 0; waited < 120000 && ::GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES;
       waited += 50) {
    ::Sleep(50);
  }
  AppendLine(folder + L"\\icacls.log", L"released");

  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) + L"\\icacls.exe\" " + ArgumentsOf(::GetCommandLineW());
  std::vector<wchar_t> buffer(command.begin(), command.end());
  buffer.push_back(0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info)) {
    return 1;
  }
  ::WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(info.hProcess, &code);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return static_cast<int>(code);
}
