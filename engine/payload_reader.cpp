#include "engine/payload_reader.h"

UniqueArchiveReader OpenPayloadReader(const void* data, uint32_t size) {
  UniqueArchiveReader reader(archive_read_new());
  if (!reader) return {};
  archive_read_support_format_tar(reader.Get());
  archive_read_support_filter_zstd(reader.Get());
  if (archive_read_open_memory(reader.Get(), data, size) != ARCHIVE_OK) return {};
  return reader;
}

EntryCount CountPayloadEntries(const void* data, uint32_t size) noexcept {
  EntryCount count;
  try {
    UniqueArchiveReader reader = OpenPayloadReader(data, size);
    if (!reader) return count;
    archive_entry* entry = nullptr;
    int result = ARCHIVE_OK;
    while ((result = archive_read_next_header(reader.Get(), &entry)) == ARCHIVE_OK) ++count.entries;
    count.cleanEnd = result == ARCHIVE_EOF;
  } catch (...) {
    count.cleanEnd = false;
  }
  return count;
}
