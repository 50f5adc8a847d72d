// Host fuzz harness (libFuzzer) for the archive reader: open, then inflate every entry.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "veneer/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Veneer::HZIP zip = Veneer::OpenZipFromMemory(data, size, "");
  std::vector<uint8_t> out(1 << 16);
  for (int i = 0; i < Veneer::GetZipItemCount(zip); ++i) Veneer::UnzipItem(zip, i, out.data(), out.size());
  Veneer::CloseZip(zip);
  return 0;
}
