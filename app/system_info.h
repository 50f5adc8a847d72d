// Facts about the running executable and the machine. None of these reports an error: each has a
// defined fallback value.
#pragma once

#include <string>

// File name of the running executable with its extension; empty when the module is unknown.
std::wstring GetExeFileName();
// Folder of the running executable without a trailing separator; empty when the module is unknown.
std::wstring GetExeDirectory();
// The user's temporary folder in long-name form, always ending in a backslash.
std::wstring GetTempDirectory();
// ProductVersion of the executable's version resource; empty when it has none.
std::wstring GetProductVersion();
// A resource of the running executable, where it lies in the mapped image (valid for the life of the
// process, never freed); data is null and size 0 when the resource is missing or cannot be locked.
struct ResourceBytes {
  const void* data = nullptr;
  unsigned long size = 0;
};
ResourceBytes FindOwnResource(const wchar_t* type, unsigned short id);
// The machine's MachineGuid from the 64-bit registry view, or 32 zeros when it cannot be read.
std::wstring GetMachineGuid();

inline constexpr wchar_t kTempDirectoryFallback[] = L"C:\\Users\\Administrator\\AppData\\Local\\Temp\\";
inline constexpr wchar_t kMachineGuidFallback[] = L"00000000000000000000000000000000";
