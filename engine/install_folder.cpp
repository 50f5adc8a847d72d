#include "engine/install_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwctype>
#include <vector>

#include "engine/folder_ownership.h"

namespace {

constexpr wchar_t kProgramFilesFallback[] = L"C:\\Program Files (x86)";

std::wstring ProgramFilesX86() {
  std::wstring folder;
  PWSTR known = nullptr;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramFilesX86, 0, nullptr, &known)) && known != nullptr) {
    folder = known;
  }
  ::CoTaskMemFree(known);
  return folder.empty() ? kProgramFilesFallback : folder;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Length of the root ("C:\" or "\\server\share\"), or 0 when the text does not start with an absolute root.
size_t RootLength(const std::wstring& text) {
  if (text.size() >= 3 && std::iswalpha(text[0]) && text[0] < 128 && text[1] == L':' && IsSeparator(text[2])) return 3;
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    // Server and share names, each non-empty.
    size_t server = 2;
    size_t serverEnd = server;
    while (serverEnd < text.size() && !IsSeparator(text[serverEnd])) ++serverEnd;
    if (serverEnd == server || serverEnd >= text.size()) return 0;
    size_t share = serverEnd + 1;
    size_t shareEnd = share;
    while (shareEnd < text.size() && !IsSeparator(text[shareEnd])) ++shareEnd;
    if (shareEnd == share) return 0;
    return shareEnd < text.size() ? shareEnd + 1 : shareEnd;
  }
  return 0;
}

bool IsDeviceName(const std::wstring& component) {
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  std::wstring base = component.substr(0, component.find(L'.'));
  while (!base.empty() && IsBlank(base.back())) base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
  for (const wchar_t* device : kDevices) {
    if (base == device) return true;
  }
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) && base[3] >= L'1' &&
         base[3] <= L'9';
}

bool IsValidComponent(const std::wstring& component) {
  // Windows drops trailing dots and blanks, so such a text names another folder than it shows.
  if (component.empty() || component.back() == L'.' || IsBlank(component.back())) return false;
  for (wchar_t c : component) {
    if (c < 32 || wcschr(L"<>:\"|?*", c) != nullptr) return false;
  }
  return !IsDeviceName(component);
}

}  // namespace

std::wstring AppendProductSubfolder(std::wstring picked) {
  if (!picked.empty() && picked.back() == L'\\') picked.pop_back();
  return picked + kProductSubfolder;
}

FolderCheck CheckInstallFolder(const std::wstring& text) {
  FolderCheck check;
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::wstring folder = text.substr(begin, end - begin);
  if (folder.empty()) {
    check.problem = FolderProblem::kEmpty;
    return check;
  }

  const size_t rootLength = RootLength(folder);
  // Trailing separators would put the worker's temporary and backup folders inside the target.
  while (folder.size() > rootLength && IsSeparator(folder.back())) folder.pop_back();
  check.folder = folder;
  if (rootLength == 0) {
    check.problem = FolderProblem::kNotAbsolute;
    return check;
  }
  if (folder.size() <= rootLength) {
    check.problem = FolderProblem::kRoot;
    return check;
  }

  // Split what follows the root into components, resolving "." and ".." on the text: the checks below and
  // the worker must see the folder that Windows would really use.
  std::vector<std::wstring> components;
  std::wstring current;
  auto endComponent = [&]() -> bool {
    if (current.empty() || current == L".") {
      // doubled separators and "." name the same folder
    } else if (current == L"..") {
      if (components.empty()) return false;  // above the root
      components.pop_back();
    } else {
      components.push_back(current);
    }
    current.clear();
    return true;
  };
  for (size_t i = rootLength; i <= folder.size(); ++i) {
    if (i == folder.size() || IsSeparator(folder[i])) {
      if (!endComponent()) {
        check.problem = FolderProblem::kInvalidName;
        return check;
      }
    } else {
      current.push_back(folder[i]);
    }
  }
  for (const std::wstring& component : components) {
    if (!IsValidComponent(component)) {
      check.problem = FolderProblem::kInvalidName;
      return check;
    }
  }
  std::wstring normalised = folder.substr(0, rootLength);
  for (wchar_t& c : normalised) {
    if (c == L'/') c = L'\\';
  }
  for (size_t i = 0; i < components.size(); ++i) normalised += (i == 0 ? L"" : L"\\") + components[i];
  folder = normalised;
  check.folder = folder;
  if (components.empty()) {
    check.problem = FolderProblem::kRoot;
    return check;
  }

  std::wstring path = folder.substr(0, rootLength);
  if (!IsSeparator(path.back())) path.push_back(L'\\');
  const DWORD rootAttributes = ::GetFileAttributesW(path.c_str());
  if (rootAttributes == INVALID_FILE_ATTRIBUTES || !(rootAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    check.problem = FolderProblem::kMissingRoot;
    return check;
  }
  // Walk down while the parts exist; the first missing one and all below it will be created.
  for (const std::wstring& component : components) {
    if (component.empty()) continue;
    if (!IsSeparator(path.back())) path.push_back(L'\\');
    path += component;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) break;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      check.problem = FolderProblem::kFileInTheWay;
      return check;
    }
  }
  return check;
}

const char* DescribeFolderProblem(FolderProblem problem) {
  switch (problem) {
    case FolderProblem::kNone: return "可用";
    case FolderProblem::kEmpty: return "路径为空";
    case FolderProblem::kNotAbsolute: return "不是完整路径";
    case FolderProblem::kRoot: return "不能安装到根目录";
    case FolderProblem::kInvalidName: return "路径含有非法字符或设备名";
    case FolderProblem::kMissingRoot: return "驱动器或共享不存在";
    case FolderProblem::kFileInTheWay: return "路径中有同名文件";
  }
  return "未知";
}

std::wstring ProposedInstallFolder() {
  // The entry is read through the registry view the engine writes it in, the 32-bit one: on 64-bit Windows
  // that is the WOW6432Node branch, on 32-bit Windows the only one there is.
  const std::wstring registered = RegisteredInstallLocation();
  return registered.empty() ? ProgramFilesX86() + kProductSubfolder : registered;
}
