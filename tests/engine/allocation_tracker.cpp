#include "tests/engine/allocation_tracker.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Every block carries a header with the count it belongs to (0: untracked); 16 bytes keep malloc's alignment.
constexpr size_t kHeader = 16;

thread_local bool tracking = false;
std::atomic<uint32_t> generation{1};
std::atomic<long> liveTracked{0};

}  // namespace

void BeginAllocationCount() {
  ++generation;
  liveTracked = 0;
}
void TrackAllocationsOnThisThread(bool enabled) { tracking = enabled; }
long LiveTrackedAllocations() { return liveTracked.load(); }

void* operator new(size_t size) {
  auto* block = static_cast<char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  uint32_t tag = 0;
  if (tracking) {
    tag = generation.load();
    ++liveTracked;
  }
  *reinterpret_cast<uint32_t*>(block) = tag;
  return block + kHeader;
}

void operator delete(void* pointer) noexcept {
  if (!pointer) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  const uint32_t tag = *reinterpret_cast<uint32_t*>(block);
  if (tag != 0 && tag == generation.load()) --liveTracked;
  std::free(block);
}

void operator delete(void* pointer, size_t) noexcept { ::operator delete(pointer); }
