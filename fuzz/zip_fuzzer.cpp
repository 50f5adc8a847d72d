// Skin archive reader: open any bytes in place, look names up, read every entry whole with the size its
// directory declares (refused above the limit), and once more into a small buffer.
#include <cstdint>
#include <vector>

#include "veneer/zip_reader.h"

using namespace Veneer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HZIP zip = OpenZipInPlace(data, size);
  if (zip == nullptr) return 0;
  std::vector<uint8_t> bytes;
  uint8_t small[64];
  for (int i = 0; i < GetZipItemCount(zip); ++i) {
    ZipEntryInfo info;
    FindZipItem(zip, L"", true, &info);
    if (FindZipItem(zip, std::to_wstring(i).c_str(), false, &info) == kZipOk && info.index < 0) __builtin_trap();
    const unsigned result = ReadZipItem(zip, i, bytes);
    if ((result == kZipOk || result == kZipMore) && bytes.size() > kMaxZipEntryBytes) __builtin_trap();
    UnzipItem(zip, i, small, sizeof(small));
  }
  CloseZip(zip);
  return 0;
}
