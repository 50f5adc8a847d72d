#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader: window and flags without decoding
#include "engine/framed_payload.h"

#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <system_error>

namespace {

// The index frame: a skippable frame (magic, content length) whose content is the tag, the version, the
// entry count and the unpacked size, all little-endian. The packer writes the same layout.
constexpr uint32_t kIndexMagic = 0x184D2A5E;
constexpr unsigned char kIndexTag[4] = {'Q', 'P', 'I', 'X'};
constexpr uint32_t kIndexVersion = 1;
constexpr uint32_t kIndexContentBytes = 24;
constexpr uint32_t kIndexFrameBytes = 8 + kIndexContentBytes;
constexpr uint32_t kTarBlock = 512;
// Decoding threads: one per core, within reason for a 32-bit process.
constexpr unsigned kMaxDecodeThreads = 4;

using UniqueDecompressionContext = UniqueAny<NullInvalidTraits<ZSTD_DCtx*, &ZSTD_freeDCtx>>;

uint64_t LoadLittleEndian(const unsigned char* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

PayloadLayout ReadPayloadIndex(const void* data, uint32_t size, PayloadIndex& index) {
  index = {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  // Another tool's skippable frame is not an index: such a payload is read as one stream.
  if (size < 12 || LoadLittleEndian(bytes, 4) != kIndexMagic || std::memcmp(bytes + 8, kIndexTag, 4) != 0) {
    return PayloadLayout::kSingleStream;
  }
  if (size < kIndexFrameBytes || LoadLittleEndian(bytes + 4, 4) != kIndexContentBytes ||
      LoadLittleEndian(bytes + 12, 4) != kIndexVersion) {
    return PayloadLayout::kDamaged;
  }
  const uint64_t entries = LoadLittleEndian(bytes + 16, 8);
  index.unpackedBytes = LoadLittleEndian(bytes + 24, 8);
  // Every entry takes a header block, so a count the size cannot hold is a lie told before any decoding.
  if (entries > INT_MAX || entries > index.unpackedBytes / kTarBlock) return PayloadLayout::kDamaged;
  index.entries = static_cast<uint32_t>(entries);

  uint64_t contentTotal = 0;
  for (uint32_t offset = kIndexFrameBytes; offset < size;) {
    ZSTD_frameHeader header{};
    if (ZSTD_getFrameHeader(&header, bytes + offset, size - offset) != 0 || header.frameType != ZSTD_frame ||
        header.frameContentSize == 0 || header.frameContentSize > kMaxPayloadFrameBytes ||
        header.windowSize > kMaxPayloadFrameBytes || !header.checksumFlag || header.dictID != 0) {
      return PayloadLayout::kDamaged;
    }
    const size_t frameSize = ZSTD_findFrameCompressedSize(bytes + offset, size - offset);
    if (ZSTD_isError(frameSize)) return PayloadLayout::kDamaged;  // truncated
    index.frames.push_back({offset, static_cast<uint32_t>(frameSize), static_cast<uint32_t>(header.frameContentSize)});
    contentTotal += header.frameContentSize;
    offset += static_cast<uint32_t>(frameSize);
  }
  if (index.frames.empty() || contentTotal != index.unpackedBytes) return PayloadLayout::kDamaged;
  return PayloadLayout::kFramed;
}

std::unique_ptr<FramedPayloadDecoder> FramedPayloadDecoder::Start(const void* data, PayloadIndex index) {
  uint32_t slotBytes = 0;
  for (const PayloadFrame& frame : index.frames) slotBytes = std::max(slotBytes, frame.contentSize);
  const unsigned threadCount = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDecodeThreads);
  // Two more buffers than threads: the reader works in one while every thread fills another.
  const size_t slotCount = std::min<size_t>(threadCount + 2, index.frames.size());
  std::unique_ptr<FramedPayloadDecoder> decoder(new (std::nothrow) FramedPayloadDecoder(
      static_cast<const unsigned char*>(data), std::move(index), slotCount, slotBytes));
  if (!decoder) return nullptr;
  for (const Slot& slot : decoder->slots_) {
    if (!slot.buffer) return nullptr;
  }
  for (unsigned i = 0; i < threadCount; ++i) {
    try {
      decoder->threads_.emplace_back(&FramedPayloadDecoder::DecodeFrames, decoder.get());
    } catch (const std::system_error&) {
      break;  // fewer threads decode all the same
    }
  }
  if (decoder->threads_.empty()) return nullptr;
  return decoder;
}

FramedPayloadDecoder::FramedPayloadDecoder(const unsigned char* data, PayloadIndex index, size_t slotCount,
                                           uint32_t slotBytes)
    : data_(data), index_(std::move(index)), slots_(slotCount) {
  for (Slot& slot : slots_) slot.buffer.reset(new (std::nothrow) unsigned char[slotBytes]);
}

FramedPayloadDecoder::~FramedPayloadDecoder() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void FramedPayloadDecoder::DecodeFrames() noexcept {
  UniqueDecompressionContext context(ZSTD_createDCtx());
  for (;;) {
    size_t frameNumber = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // A frame is taken only when its buffer is free: the reader has released the frame before it there.
      changed_.wait(lock, [this] {
        return stopping_ || nextToDecode_ >= index_.frames.size() || nextToDecode_ < released_ + slots_.size();
      });
      if (stopping_ || nextToDecode_ >= index_.frames.size()) return;
      frameNumber = nextToDecode_++;
    }
    const PayloadFrame& frame = index_.frames[frameNumber];
    Slot& slot = slots_[frameNumber % slots_.size()];
    // One call for the whole frame: it checks the recorded size and the checksum, and needs no window
    // beyond the buffer itself.
    bool intact = false;
    if (context) {
      const size_t decoded =
          ZSTD_decompressDCtx(context.Get(), slot.buffer.get(), frame.contentSize, data_ + frame.offset, frame.size);
      intact = !ZSTD_isError(decoded) && decoded == frame.contentSize;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.ready = true;
      slot.intact = intact;
    }
    changed_.notify_all();
  }
}

long long FramedPayloadDecoder::NextFrame(const void** buffer) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (released_ < nextToRead_) {  // the previous frame's bytes are consumed: its buffer may be refilled
    slots_[(nextToRead_ - 1) % slots_.size()].ready = false;
    released_ = nextToRead_;
    changed_.notify_all();
  }
  if (nextToRead_ == index_.frames.size()) return 0;
  Slot& slot = slots_[nextToRead_ % slots_.size()];
  changed_.wait(lock, [&slot] { return slot.ready; });
  if (!slot.intact) return -1;
  *buffer = slot.buffer.get();
  return index_.frames[nextToRead_++].contentSize;
}

bool FramedPayloadDecoder::RestIsIntact() {
  const void* ignored = nullptr;
  long long result = 0;
  while ((result = NextFrame(&ignored)) > 0) {
  }
  return result == 0;
}

la_ssize_t FramedPayloadDecoder::ReadCallback(archive* reader, void* self, const void** buffer) noexcept {
  const long long result = static_cast<FramedPayloadDecoder*>(self)->NextFrame(buffer);
  if (result < 0) {
    archive_set_error(reader, EIO, "Damaged payload frame");
    return ARCHIVE_FATAL;
  }
  return static_cast<la_ssize_t>(result);
}

UniqueArchiveReader FramedPayloadDecoder::OpenReader() {
  UniqueArchiveReader reader(archive_read_new());
  if (!reader) return {};
  archive_read_support_format_tar(reader.Get());
  if (archive_read_open(reader.Get(), this, nullptr, &FramedPayloadDecoder::ReadCallback, nullptr) != ARCHIVE_OK) {
    return {};
  }
  return reader;
}
