// The skin archive reader: ZIP central directory, stored and deflated entries (zlib raw inflate).
// Every offset and size read from the archive is checked against the archive's bytes, so a damaged
// directory or entry ends in an error code, never in a read outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Veneer {

struct ZipArchive;
using HZIP = ZipArchive*;

// Result codes of the archive functions.
constexpr unsigned kZipOk = 0;
constexpr unsigned kZipNotFound = 0x500;
constexpr unsigned kZipMore = 0x600;  // the buffer was filled and data remains
constexpr unsigned kZipCorrupt = 0x700;
constexpr unsigned kZipPassword = 0x800;
constexpr unsigned kZipArgs = 0x10000;
constexpr unsigned kZipTooLarge = 0x20000;  // the declared size is above the caller's limit or cannot be had

// The largest entry the toolkit reads whole. Skin files and images are far smaller; the limit keeps an
// archive that declares gigabytes for a few bytes from deciding how much memory is taken.
constexpr uint32_t kMaxZipEntryBytes = 64u * 1024u * 1024u;

struct ZipEntryInfo {
  int index = -1;
  std::wstring name;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
};

// Resizes without throwing: false when the memory cannot be had.
inline bool ResizeNoThrow(std::vector<uint8_t>& bytes, size_t size) noexcept {
  try {
    bytes.resize(size);
    return true;
  } catch (...) {
    return false;
  }
}

// Opens an archive file (read whole into memory); null when it cannot be read or is not an archive.
HZIP OpenZip(const wchar_t* file, const char* password);
// Opens an archive held in memory; the bytes are copied.
HZIP OpenZipFromMemory(const void* bytes, size_t size, const char* password);
// Opens an archive where it lies in memory, without copying it (such as a module's resource, which stays
// mapped as long as the module is loaded): the bytes must stay valid and unchanged until CloseZip.
HZIP OpenZipInPlace(const void* bytes, size_t size);
// Looks an entry up by name; "\" and "/" are the same separator, and with ignoreCase letter case is
// ignored. Yields the index and sizes in info. kZipNotFound when absent.
unsigned FindZipItem(HZIP zip, const wchar_t* name, bool ignoreCase, ZipEntryInfo* info);
// Inflates (or copies) entry index into buffer. kZipOk when the whole entry fitted, kZipMore when the
// buffer was too small (it holds the first size bytes), kZipCorrupt for damaged data.
unsigned UnzipItem(HZIP zip, int index, void* buffer, unsigned size);
// Reads entry index whole into bytes. The declared size is checked before anything is allocated: above
// maxBytes, or more than the entry's compressed data can inflate to, it is refused (kZipTooLarge, also
// when the memory cannot be had; nothing is thrown). Otherwise the result of UnzipItem; bytes are left
// empty unless it is kZipOk or kZipMore.
unsigned ReadZipItem(HZIP zip, int index, std::vector<uint8_t>& bytes, uint32_t maxBytes = kMaxZipEntryBytes);
// Number of entries in the central directory.
int GetZipItemCount(HZIP zip);
void CloseZip(HZIP zip);

}  // namespace Veneer
