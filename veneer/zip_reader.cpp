#include "veneer/zip_reader.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <memory>

namespace Veneer {

struct ZipEntry {
  std::wstring name;  // "\" already turned into "/"
  uint16_t flags;
  uint16_t method;
  uint32_t crc;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
  uint32_t localHeaderOffset;
};

struct ZipArchive {
  std::vector<uint8_t> copy;  // the bytes, unless the archive is read where its owner keeps it
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  std::vector<ZipEntry> entries;
};

namespace {

constexpr uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr uint32_t kDirectoryEntrySignature = 0x02014b50;
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr size_t kEndOfDirectorySize = 22;
constexpr size_t kDirectoryEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Names are UTF-8 when flag bit 11 is set; otherwise bytes are taken as they are (ASCII in practice).
std::wstring DecodeName(const uint8_t* p, size_t length, bool utf8) {
  std::wstring name;
  size_t i = 0;
  while (i < length) {
    uint32_t c = p[i];
    size_t extra = 0;
    if (utf8 && c >= 0xC0 && c < 0xF8) {
      extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
      if (i + extra >= length) {
        extra = 0;  // a truncated sequence keeps its lead byte as it is
      } else {
        c &= (0x3F >> extra);
      }
    }
    for (size_t k = 1; k <= extra; ++k) c = (c << 6) | (p[i + k] & 0x3F);
    i += 1 + extra;
    if (c >= 0x10000) {
      c -= 0x10000;
      name.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
      name.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
      name.push_back(static_cast<wchar_t>(c));
    }
  }
  for (wchar_t& ch : name)
    if (ch == L'\\') ch = L'/';
  return name;
}

bool ReadDirectory(ZipArchive& zip) {
  const uint8_t* b = zip.bytes;
  if (zip.size < kEndOfDirectorySize) return false;
  // The end record sits in the last 22 bytes plus at most a 65535-byte comment.
  size_t end = zip.size - kEndOfDirectorySize;
  const size_t lowest = zip.size > kEndOfDirectorySize + 0xFFFF ? zip.size - kEndOfDirectorySize - 0xFFFF : 0;
  for (;; --end) {
    if (Read32(&b[end]) == kEndOfDirectorySignature) break;
    if (end == lowest) return false;
  }
  const uint8_t* eocd = &b[end];
  const uint16_t count = Read16(eocd + 10);
  const uint32_t directorySize = Read32(eocd + 12);
  const uint32_t directoryOffset = Read32(eocd + 16);
  if (directoryOffset > end || directorySize > end - directoryOffset) return false;

  size_t pos = directoryOffset;
  const size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
  zip.entries.reserve(count);
  for (uint16_t i = 0; i < count; ++i) {
    if (directoryEnd - pos < kDirectoryEntrySize || pos > directoryEnd) return false;
    const uint8_t* e = &b[pos];
    if (Read32(e) != kDirectoryEntrySignature) return false;
    ZipEntry entry;
    entry.flags = Read16(e + 8);
    entry.method = Read16(e + 10);
    entry.crc = Read32(e + 16);
    entry.compressedSize = Read32(e + 20);
    entry.uncompressedSize = Read32(e + 24);
    const size_t nameLength = Read16(e + 28);
    const size_t extraLength = Read16(e + 30);
    const size_t commentLength = Read16(e + 32);
    entry.localHeaderOffset = Read32(e + 42);
    const size_t recordSize = kDirectoryEntrySize + nameLength + extraLength + commentLength;
    if (directoryEnd - pos < recordSize) return false;
    entry.name = DecodeName(e + kDirectoryEntrySize, nameLength, (entry.flags & 0x800) != 0);
    zip.entries.push_back(std::move(entry));
    pos += recordSize;
  }
  return true;
}

wchar_t FoldCase(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

}  // namespace

namespace {

// Reads the directory of an archive whose bytes are set; null when it is not an archive.
HZIP Open(std::unique_ptr<ZipArchive> zip) {
  if (zip->bytes == nullptr || zip->size == 0 || !ReadDirectory(*zip)) return nullptr;
  return zip.release();
}

HZIP OpenCopy(std::vector<uint8_t> bytes) {
  auto zip = std::make_unique<ZipArchive>();
  zip->copy = std::move(bytes);
  zip->bytes = zip->copy.data();
  zip->size = zip->copy.size();
  return Open(std::move(zip));
}

}  // namespace

HZIP OpenZipFromMemory(const void* bytes, size_t size, const char* /*password*/) {
  if (bytes == nullptr) return nullptr;
  const auto* first = static_cast<const uint8_t*>(bytes);
  return OpenCopy(std::vector<uint8_t>(first, first + size));
}

HZIP OpenZipInPlace(const void* bytes, size_t size) {
  auto zip = std::make_unique<ZipArchive>();
  zip->bytes = static_cast<const uint8_t*>(bytes);
  zip->size = size;
  return Open(std::move(zip));
}

HZIP OpenZip(const wchar_t* file, const char* password) {
  if (file == nullptr) return nullptr;
#ifdef _WIN32
  FILE* f = _wfopen(file, L"rb");
#else
  std::string narrow;
  for (const wchar_t* p = file; *p; ++p) narrow.push_back(static_cast<char>(*p));
  FILE* f = std::fopen(narrow.c_str(), "rb");
#endif
  if (f == nullptr) return nullptr;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed || bytes.empty()) return nullptr;
  return OpenCopy(std::move(bytes));
}

void CloseZip(HZIP zip) { delete zip; }

int GetZipItemCount(HZIP zip) { return zip == nullptr ? 0 : static_cast<int>(zip->entries.size()); }

unsigned FindZipItem(HZIP zip, const wchar_t* name, bool ignoreCase, ZipEntryInfo* info) {
  if (info != nullptr) *info = ZipEntryInfo();
  if (zip == nullptr || name == nullptr) return kZipArgs;
  std::wstring wanted(name);
  for (wchar_t& c : wanted)
    if (c == L'\\') c = L'/';
  for (size_t i = 0; i < zip->entries.size(); ++i) {
    const std::wstring& candidate = zip->entries[i].name;
    if (candidate.size() != wanted.size()) continue;
    bool same = true;
    for (size_t k = 0; k < wanted.size() && same; ++k)
      same = ignoreCase ? FoldCase(candidate[k]) == FoldCase(wanted[k]) : candidate[k] == wanted[k];
    if (!same) continue;
    if (info != nullptr) {
      info->index = static_cast<int>(i);
      info->name = candidate;
      info->compressedSize = zip->entries[i].compressedSize;
      info->uncompressedSize = zip->entries[i].uncompressedSize;
    }
    return kZipOk;
  }
  return kZipNotFound;
}

unsigned UnzipItem(HZIP zip, int index, void* buffer, unsigned size) {
  if (zip == nullptr || index < 0 || static_cast<size_t>(index) >= zip->entries.size()) return kZipArgs;
  if (buffer == nullptr && size != 0) return kZipArgs;
  const ZipEntry& entry = zip->entries[index];
  if (entry.flags & 0x1) return kZipPassword;  // encrypted entries are not supported
  const uint8_t* b = zip->bytes;

  // The local header's own name and extra lengths decide where the data starts.
  const size_t header = entry.localHeaderOffset;
  if (header > zip->size || zip->size - header < kLocalHeaderSize) return kZipCorrupt;
  if (Read32(&b[header]) != kLocalHeaderSignature) return kZipCorrupt;
  const size_t dataStart = header + kLocalHeaderSize + Read16(&b[header + 26]) + Read16(&b[header + 28]);
  if (dataStart > zip->size || zip->size - dataStart < entry.compressedSize) return kZipCorrupt;
  const uint8_t* data = b + dataStart;
  auto* out = static_cast<uint8_t*>(buffer);

  if (entry.method == 0) {
    if (entry.compressedSize != entry.uncompressedSize) return kZipCorrupt;
    const uint32_t copied = entry.uncompressedSize < size ? entry.uncompressedSize : size;
    if (copied > 0) std::memcpy(out, data, copied);
    if (copied < entry.uncompressedSize) return kZipMore;
    return crc32(0L, out, copied) == entry.crc ? kZipOk : kZipCorrupt;
  }
  if (entry.method != 8) return kZipCorrupt;

  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return kZipCorrupt;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = entry.compressedSize;
  stream.next_out = out;
  stream.avail_out = size;
  const int status = inflate(&stream, Z_FINISH);
  const uLong produced = stream.total_out;
  inflateEnd(&stream);
  if (status == Z_STREAM_END) {
    if (produced != entry.uncompressedSize) return kZipCorrupt;
    return crc32(0L, out, static_cast<uInt>(produced)) == entry.crc ? kZipOk : kZipCorrupt;
  }
  // The buffer filled up before the stream ended: more data remains.
  if ((status == Z_BUF_ERROR || status == Z_OK) && stream.avail_out == 0 && produced < entry.uncompressedSize)
    return kZipMore;
  return kZipCorrupt;
}

unsigned ReadZipItem(HZIP zip, int index, std::vector<uint8_t>& bytes, uint32_t maxBytes) {
  bytes.clear();
  if (zip == nullptr || index < 0 || static_cast<size_t>(index) >= zip->entries.size()) return kZipArgs;
  const ZipEntry& entry = zip->entries[index];
  // Deflate cannot expand data by more than about 1032 to 1; stored data does not expand at all.
  constexpr uint64_t kMaxDeflateRatio = 1032;
  const uint64_t reachable =
      entry.method == 0 ? entry.compressedSize : static_cast<uint64_t>(entry.compressedSize) * kMaxDeflateRatio + 64;
  if (entry.uncompressedSize > maxBytes || entry.uncompressedSize > reachable) return kZipTooLarge;
  if (!ResizeNoThrow(bytes, entry.uncompressedSize)) return kZipTooLarge;
  const unsigned result = UnzipItem(zip, index, bytes.data(), entry.uncompressedSize);
  if (result != kZipOk && result != kZipMore) bytes.clear();
  return result;
}

}  // namespace Veneer
