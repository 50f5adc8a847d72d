#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <spdlog/spdlog.h>

#include <cwchar>

#include "app/text_encoding.h"

namespace {

constexpr wchar_t kUpdateSwitch[] = L"-update";
constexpr wchar_t kSilentSwitch[] = L"/S";
constexpr wchar_t kFolderSwitch[] = L"/D=";
constexpr size_t kFolderSwitchLength = 3;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool StartsWithFolderSwitch(std::wstring_view text) {
  return text.size() >= kFolderSwitchLength && ::_wcsnicmp(text.data(), kFolderSwitch, kFolderSwitchLength) == 0;
}

// Where the argument "/D=..." starts (its opening quote, if any), or npos. Only the start of an argument
// counts, outside quotes, so a folder that merely contains "/D=" is not taken for the switch.
size_t FindFolderSwitch(std::wstring_view text) {
  bool quoted = false;
  bool atArgumentStart = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (!quoted && IsBlank(c)) {
      atArgumentStart = true;
      continue;
    }
    if (atArgumentStart) {
      if (StartsWithFolderSwitch(text.substr(i))) return i;
      if (c == L'"' && StartsWithFolderSwitch(text.substr(i + 1))) return i;
    }
    atArgumentStart = false;
    if (c == L'"') quoted = !quoted;
  }
  return std::wstring_view::npos;
}

// The arguments of the text as the system splits them. A stand-in program name goes first: the system
// splits the first argument by other rules and returns the running program's path for an empty text.
std::vector<std::wstring> SplitArguments(std::wstring_view text) {
  std::vector<std::wstring> arguments;
  const std::wstring line = L"x " + std::wstring(text);
  int count = 0;
  LPWSTR* split = ::CommandLineToArgvW(line.c_str(), &count);
  if (split == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(split[i]);
  ::LocalFree(split);
  return arguments;
}

}  // namespace

CommandLine ParseCommandLine(std::wstring_view argumentText) {
  CommandLine result;
  // "-update" counts anywhere, even inside the folder's text: a copy relaunched in upgrade mode gets
  // " -update" appended to whatever it was given, and must see it.
  for (const std::wstring& argument : SplitArguments(argumentText)) {
    if (::_wcsicmp(argument.c_str(), kUpdateSwitch) == 0) result.update = true;
  }

  const size_t folderAt = FindFolderSwitch(argumentText);
  if (folderAt != std::wstring_view::npos) {
    std::wstring_view folder = argumentText.substr(folderAt);
    const bool quoted = folder.front() == L'"';
    folder.remove_prefix(kFolderSwitchLength + (quoted ? 1 : 0));
    if (quoted && !folder.empty() && folder.back() == L'"') folder.remove_suffix(1);
    result.folder = std::wstring(folder);
  }

  for (const std::wstring& argument : SplitArguments(argumentText.substr(0, folderAt))) {
    if (::_wcsicmp(argument.c_str(), kSilentSwitch) == 0) {
      result.silent = true;
    } else if (::_wcsicmp(argument.c_str(), kUpdateSwitch) != 0) {
      result.unknown.push_back(argument);
    }
  }
  return result;
}

void LogIgnoredArguments(const CommandLine& commandLine) {
  for (const std::wstring& argument : commandLine.unknown) {
    spdlog::warn("未知的命令行参数，已忽略：\"{}\"", WideToUtf8(argument));
  }
  if (commandLine.silent && commandLine.update) spdlog::info("-update 与 /S 同时给出：按升级模式运行，/S 已忽略");
  if (commandLine.folder && !commandLine.RunsSilently()) {
    spdlog::warn("/D= 只用于静默安装，已忽略：\"{}\"", WideToUtf8(*commandLine.folder));
  }
}
