// The payload as the packer writes it: a skippable frame holding the payload index (entry count and
// unpacked size), then independent Zstandard frames of a few MB of tar each.
//
// Every Zstandard reader skips the index and joins the frames, so the payload is a plain .tar.zst. The
// installer reads the index first: the total for exact percentages and the room needed are known before
// anything is decoded. The frames are then decoded on every core into a few fixed buffers, in order,
// while the tar reader consumes them: memory stays bounded whatever the payload's size.
#pragma once

#include <archive.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/payload_reader.h"

// A frame may hold at most this many decoded bytes, and ask for a window no larger: a hostile header
// cannot make the installer allocate more.
constexpr uint32_t kMaxPayloadFrameBytes = 8u << 20;

struct PayloadFrame {
  uint32_t offset = 0;       // within the payload
  uint32_t size = 0;         // compressed bytes
  uint32_t contentSize = 0;  // decoded bytes
};

struct PayloadIndex {
  uint32_t entries = 0;
  uint64_t unpackedBytes = 0;  // the tar stream's size: the sum of the frames' content sizes
  std::vector<PayloadFrame> frames;
};

enum class PayloadLayout {
  kSingleStream,  // no index frame: a payload of an older build or another tool
  kFramed,        // index and frames checked against each other
  kDamaged,       // an index that does not match the frames after it, or frames that break the rules
};

// Reads the index and walks the frame headers after it (no decoding). The frames must be complete, each
// with a checksum, a recorded content size and a window within kMaxPayloadFrameBytes, and their
// content must add up to the index's size; nothing may follow the last one.
PayloadLayout ReadPayloadIndex(const void* data, uint32_t size, PayloadIndex& index);

class FramedPayloadDecoder {
 public:
  // Starts the decoding threads; null when the buffers cannot be allocated or no thread starts.
  static std::unique_ptr<FramedPayloadDecoder> Start(const void* data, PayloadIndex index);

  FramedPayloadDecoder(const FramedPayloadDecoder&) = delete;
  FramedPayloadDecoder& operator=(const FramedPayloadDecoder&) = delete;
  ~FramedPayloadDecoder();

  // A tar reader over the decoded frames in order; it fails where a frame is damaged. Only one.
  UniqueArchiveReader OpenReader();

  // After the tar reader has met the archive's end: whether the frames it did not need (padding after
  // the end blocks) decode as well. A payload with any damaged frame is not installed.
  bool RestIsIntact();

 private:
  struct Slot {
    std::unique_ptr<unsigned char[]> buffer;
    bool ready = false;   // guarded by mutex_
    bool intact = false;  // guarded by mutex_
  };

  FramedPayloadDecoder(const unsigned char* data, PayloadIndex index, size_t slotCount, uint32_t slotBytes);
  void DecodeFrames() noexcept;
  // Releases the frame read before and waits for the next one: its length, 0 after the last, -1 when
  // it is damaged.
  long long NextFrame(const void** buffer);
  // Called by libarchive, which has no unwind tables: nothing may be thrown through it.
  static la_ssize_t ReadCallback(archive* reader, void* self, const void** buffer) noexcept;

  const unsigned char* data_;
  const PayloadIndex index_;
  std::vector<Slot> slots_;  // frame i decodes into slots_[i % slots_.size()]

  std::mutex mutex_;
  std::condition_variable changed_;
  size_t nextToDecode_ = 0;  // guarded by mutex_
  size_t released_ = 0;      // guarded by mutex_: frames the reader is done with
  bool stopping_ = false;    // guarded by mutex_

  size_t nextToRead_ = 0;  // used only by the reader's thread
  std::vector<std::thread> threads_;
};
