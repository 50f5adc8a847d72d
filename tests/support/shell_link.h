// Reads a shell link file back through the shell's own link object.
#pragma once

#include <filesystem>
#include <string>

struct ShellLinkFields {
  bool loaded = false;
  std::wstring target;  // raw path, environment variables not expanded
  std::wstring description;
  std::wstring workingDirectory;
  std::wstring iconPath;
  int iconIndex = -1;
};

ShellLinkFields ReadShellLink(const std::filesystem::path& link);

// A folder of the shell by its CSIDL (CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS...).
std::filesystem::path ShellFolder(int csidl);
