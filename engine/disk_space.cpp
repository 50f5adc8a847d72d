#include "engine/disk_space.h"

#include <windows.h>

#include <archive.h>
#include <archive_entry.h>
#include <zstd.h>

#include "engine/framed_payload.h"
#include "engine/payload_reader.h"

std::optional<uint64_t> PayloadUnpackedSize(const void* data, uint32_t size) {
  PayloadIndex index;
  switch (ReadPayloadIndex(data, size, index)) {
    case PayloadLayout::kFramed: return index.unpackedBytes;
    case PayloadLayout::kDamaged: return std::nullopt;
    case PayloadLayout::kSingleStream: break;
  }
  const unsigned long long recorded = ZSTD_getFrameContentSize(data, size);
  if (recorded != ZSTD_CONTENTSIZE_UNKNOWN && recorded != ZSTD_CONTENTSIZE_ERROR) return recorded;
  // A frame without a recorded size (or a plain tar): one pass over the headers.
  UniqueArchiveReader reader = OpenPayloadReader(data, size);
  if (!reader) return std::nullopt;
  uint64_t total = 0;
  archive_entry* entry = nullptr;
  int result = ARCHIVE_OK;
  while ((result = archive_read_next_header(reader.Get(), &entry)) == ARCHIVE_OK) {
    const la_int64_t entrySize = archive_entry_size(entry);
    total += 512 + (entrySize > 0 ? static_cast<uint64_t>(entrySize) : 0);
  }
  if (result != ARCHIVE_EOF) return std::nullopt;
  return total;
}

uint64_t RequiredSpace(uint64_t unpackedBytes) {
  // Tar rounds every entry to 512 bytes, a volume to its cluster size (4 KiB mostly): a few percent for
  // trees of small files, plus a little for the folders' records. A margin much larger would refuse disks
  // the tree fits on; should the estimate fall short after all, extraction stops with a full disk and
  // the worker removes what it wrote.
  constexpr uint64_t kFixedMargin = 256ull << 10;
  return unpackedBytes + unpackedBytes / 32 + kFixedMargin;
}

std::optional<uint64_t> FreeSpaceFor(const std::wstring& folder) {
  std::wstring existing = folder;
  for (;;) {
    const DWORD attributes = ::GetFileAttributesW(existing.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
    const size_t separator = existing.find_last_of(L"\\/", existing.size() - 2);
    if (existing.size() < 2 || separator == std::wstring::npos || separator == 0) return std::nullopt;
    existing.resize(separator + 1);  // keeps the separator, so a drive is asked as "C:\"
  }
  if (existing.back() != L'\\') existing.push_back(L'\\');
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(existing.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}
