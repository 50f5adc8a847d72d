// Stands in for icacls.exe: appends its command line (UTF-8) and, after a pause, the word "finished" to the
// file named by QUILLON_ICACLS_RECORD. A caller that waits for it sees both lines when the wait ends.
#include <windows.h>

#include <string>

namespace {

void Append(const std::wstring& file, const std::string& text) {
  HANDLE handle = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(handle);
}

std::string Utf8(const wchar_t* text) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string result(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
  return result;
}

}  // namespace

int main() {
  wchar_t record[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"QUILLON_ICACLS_RECORD", record, MAX_PATH) == 0) return 1;
  Append(record, Utf8(::GetCommandLineW()) + "\n");
  ::Sleep(300);
  Append(record, "finished\n");
  return 0;
}
