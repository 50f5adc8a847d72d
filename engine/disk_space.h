// Room for an installation: what the payload unpacks to, and what the target's volume has free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Bytes the payload unpacks to: the size its index records (checked against its frames), else the size
// its single Zstandard frame records, else the sum of its entries read from the archive headers. Null
// when none can be read or the index does not match (the archive is damaged).
[[nodiscard]] std::optional<uint64_t> PayloadUnpackedSize(const void* data, uint32_t size);

// What the new tree needs beside the old one: the unpacked archive plus a margin for cluster rounding
// and the file system's own records. The old tree stays until the swap, so it is not counted as free.
[[nodiscard]] uint64_t RequiredSpace(uint64_t unpackedBytes);

// Bytes free for this process on the volume that holds folder, asked at its nearest existing ancestor
// (the folder itself may not exist yet). Null when the volume cannot be asked.
[[nodiscard]] std::optional<uint64_t> FreeSpaceFor(const std::wstring& folder);
