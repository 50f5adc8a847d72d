// Reading the payload archive (a Zstandard-compressed tar stream held in memory) with libarchive.
#pragma once

#include <archive.h>

#include <cstdint>

#include "app/unique_resource.h"

using UniqueArchiveReader = UniqueAny<NullInvalidTraits<archive*, &archive_read_free>>;
using UniqueArchiveWriter = UniqueAny<NullInvalidTraits<archive*, &archive_write_free>>;

// A reader for the tar format through the zstd filter, opened on the bytes; invalid when it cannot open.
UniqueArchiveReader OpenPayloadReader(const void* data, uint32_t size);

struct EntryCount {
  int entries = 0;
  // True when the header loop met the end-of-archive marker rather than an error.
  bool cleanEnd = false;
};

// The counting pass: reads every header, skipping the data.
EntryCount CountPayloadEntries(const void* data, uint32_t size) noexcept;
