// Loading skin markup from bytes, files and the skin archive.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "app/unique_resource.h"
#include "veneer/markup.h"
#include "veneer/paint_manager.h"
#include "veneer/zip_reader.h"

namespace Veneer {

bool CSkinMarkup::LoadFromMem(uint8_t* bytes, size_t size, int encoding) {
  Release();
  wchar_t* buffer = nullptr;
  if (encoding == kUtf8 || encoding == kAnsi) {
    const UINT codePage = encoding == kUtf8 ? CP_UTF8 : CP_ACP;
    if (encoding == kUtf8 && size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
      bytes += 3;
      size -= 3;
    }
    if (size > kMaxFileBytes) return Fail(L"File too large", nullptr);
    const int length = size == 0 ? 0
                                 : ::MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes),
                                                         static_cast<int>(size), nullptr, 0);
    buffer = static_cast<wchar_t*>(std::malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (buffer == nullptr) return false;
    if (length > 0)
      ::MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), buffer, length);
    buffer[length] = 0;
  } else if (encoding == kUtf16) {
    // A byte-order mark is required; without one there is no text to parse.
    if (size < 2) return false;
    if (size > kMaxFileBytes) return Fail(L"File too large", nullptr);
    const bool little = bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool big = bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (!little && !big) return false;
    const size_t units = size / 2 - 1;
    if (big) {
      for (size_t i = 2; i + 1 < size; i += 2) std::swap(bytes[i], bytes[i + 1]);
    }
    buffer = static_cast<wchar_t*>(std::malloc((units + 1) * sizeof(wchar_t)));
    if (buffer == nullptr) return false;
    std::memcpy(buffer, bytes + 2, units * sizeof(wchar_t));
    buffer[units] = 0;
  } else {
    return false;
  }
  return ParseBuffer(buffer);
}

bool CSkinMarkup::LoadFromFile(const wchar_t* name, int encoding) {
  Release();
  if (name == nullptr) return false;
  std::vector<uint8_t> bytes;
  if (!CPaintManagerUI::HasResourceZip()) {
    const std::wstring path = CPaintManagerUI::GetResourcePath() + name;
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Fail(L"Error opening file", nullptr);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) return Fail(L"Could not read file", nullptr);
    if (size.QuadPart == 0) return Fail(L"File is empty", nullptr);
    if (size.QuadPart > kMaxFileBytes) return Fail(L"File too large", nullptr);
    if (!ResizeNoThrow(bytes, static_cast<size_t>(size.QuadPart))) return Fail(L"Could not read file", nullptr);
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read < bytes.size())
      return Fail(L"Could not read file", nullptr);
  } else {
    const CResourceZipScope archive;
    HZIP zip = archive.Get();
    if (zip == nullptr) return Fail(L"Error opening zip file", nullptr);
    std::wstring entryName(name);
    for (wchar_t& c : entryName)
      if (c == L'\\') c = L'/';
    ZipEntryInfo entry;
    if (FindZipItem(zip, entryName.c_str(), true, &entry) != kZipOk) return Fail(L"Could not find ziped file", nullptr);
    if (entry.uncompressedSize == 0) return Fail(L"File is empty", nullptr);
    if (entry.uncompressedSize > kMaxFileBytes) return Fail(L"File too large", nullptr);
    const unsigned result = ReadZipItem(zip, entry.index, bytes, kMaxFileBytes);
    if (result != kZipOk && result != kZipMore) return Fail(L"Could not unzip file", nullptr);
  }
  return LoadFromMem(bytes.data(), bytes.size(), encoding);
}

}  // namespace Veneer
