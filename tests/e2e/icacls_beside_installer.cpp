// Linked into the installer builds that the end-to-end tests and `make run` use, never into the product: when
// an icacls.exe is staged beside the executable (the gate that holds the install worker at its permissions
// step), the permissions step starts that one instead of the system's.
#include <windows.h>

#include <string>

#include "engine/promote_directory.h"

namespace {

bool NameTheGateBesideTheInstaller() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring gate(path, length);
  gate.erase(gate.find_last_of(L'\\') + 1);
  gate += L"icacls.exe";
  if (::GetFileAttributesW(gate.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  SetIcaclsProgramForTests(gate);
  return true;
}

// Runs while the program starts, before the window (and so any installation) exists.
const bool gateNamed = NameTheGateBesideTheInstaller();

}  // namespace
