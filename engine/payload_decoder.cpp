#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_d_stableOutBuffer: decode straight into the archive buffer
#include "engine/payload_decoder.h"

#include <windows.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace {

// Input fed to the decoder per step: small enough that the reader can start early and follow closely.
constexpr size_t kInputStep = 256 * 1024;
// The decoded archive must fit the 32-bit address space with room to spare; larger payloads are read
// directly, without the shared decode.
constexpr unsigned long long kMaxDecodedSize = 1ull << 30;

using UniqueDecompressionContext = UniqueAny<NullInvalidTraits<ZSTD_DCtx*, &ZSTD_freeDCtx>>;

}  // namespace

std::unique_ptr<PayloadDecoder> PayloadDecoder::Start(const void* data, uint32_t size) {
  const unsigned long long contentSize = ZSTD_getFrameContentSize(data, size);
  if (contentSize == ZSTD_CONTENTSIZE_UNKNOWN || contentSize == ZSTD_CONTENTSIZE_ERROR ||
      contentSize > kMaxDecodedSize) {
    return nullptr;
  }
  // Concatenated frames or trailing bytes go the direct way, which handles them as the library does.
  if (ZSTD_findFrameCompressedSize(data, size) != size) return nullptr;
  std::unique_ptr<unsigned char[]> output(new (std::nothrow) unsigned char[std::max<size_t>(contentSize, 1)]);
  if (!output) return nullptr;
  std::unique_ptr<PayloadDecoder> decoder(new PayloadDecoder(static_cast<const unsigned char*>(data), size,
                                                             std::move(output), static_cast<size_t>(contentSize)));
  try {
    decoder->thread_ = std::thread(&PayloadDecoder::Decode, decoder.get());
    // The writer follows the decoder, so the decoder sets the pace; it goes first when both want a core.
    ::SetThreadPriority(reinterpret_cast<HANDLE>(decoder->thread_.native_handle()), THREAD_PRIORITY_ABOVE_NORMAL);
  } catch (const std::exception&) {
    return nullptr;  // no second thread: read directly
  }
  return decoder;
}

PayloadDecoder::PayloadDecoder(const unsigned char* input, size_t inputSize, std::unique_ptr<unsigned char[]> output,
                               size_t outputSize)
    : input_(input),
      inputSize_(inputSize),
      output_(std::move(output)),
      outputSize_(outputSize),
      count_(countPromise_.get_future()) {}

PayloadDecoder::~PayloadDecoder() {
  if (thread_.joinable()) thread_.join();
}

void PayloadDecoder::Decode() noexcept {
  bool intact = false;
  size_t produced = 0;
  {
    UniqueDecompressionContext context(ZSTD_createDCtx());
    if (context && !ZSTD_isError(ZSTD_DCtx_setParameter(context.Get(), ZSTD_d_stableOutBuffer, 1))) {
      ZSTD_outBuffer out{output_.get(), outputSize_, 0};
      ZSTD_inBuffer in{input_, 0, 0};
      for (;;) {
        in.size = std::min(inputSize_, in.pos + kInputStep);
        const size_t consumedBefore = in.pos;
        const size_t producedBefore = out.pos;
        const size_t result = ZSTD_decompressStream(context.Get(), &out, &in);
        if (ZSTD_isError(result)) break;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          decoded_ = out.pos;
        }
        progressed_.notify_all();
        if (result == 0) {  // frame complete and its checksum verified
          intact = in.pos == inputSize_ && out.pos == outputSize_;
          break;
        }
        // No progress with every input byte given: the payload ends inside the frame.
        if (in.pos == consumedBefore && out.pos == producedBefore) break;
      }
      produced = out.pos;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    decoded_ = produced;
    finished_ = true;
    intact_ = intact;
  }
  progressed_.notify_all();

  // Count the headers of what was decoded; a damaged stream ends the count early, without a clean end.
  EntryCount count;
  UniqueArchiveReader counter(archive_read_new());
  if (counter) {
    archive_read_support_format_tar(counter.Get());
    if (archive_read_open_memory(counter.Get(), output_.get(), produced) == ARCHIVE_OK) {
      archive_entry* entry = nullptr;
      int result = ARCHIVE_OK;
      while ((result = archive_read_next_header(counter.Get(), &entry)) == ARCHIVE_OK) ++count.entries;
      count.cleanEnd = intact && result == ARCHIVE_EOF;
    }
  }
  countPromise_.set_value(count);
}

size_t PayloadDecoder::WaitForBytes() {
  std::unique_lock<std::mutex> lock(mutex_);
  progressed_.wait(lock, [this] { return finished_ || decoded_ > readPosition_; });
  return decoded_ - readPosition_;
}

la_ssize_t PayloadDecoder::ReadCallback(archive* reader, void* self, const void** buffer) noexcept {
  auto* decoder = static_cast<PayloadDecoder*>(self);
  const size_t available = decoder->WaitForBytes();
  if (available == 0) {
    std::lock_guard<std::mutex> lock(decoder->mutex_);
    if (decoder->intact_) return 0;  // end of the archive
    archive_set_error(reader, EIO, "Damaged or truncated payload stream");
    return ARCHIVE_FATAL;
  }
  *buffer = decoder->output_.get() + decoder->readPosition_;
  decoder->readPosition_ += available;
  return static_cast<la_ssize_t>(available);
}

la_int64_t PayloadDecoder::SkipCallback(archive*, void* self, la_int64_t request) noexcept {
  auto* decoder = static_cast<PayloadDecoder*>(self);
  const size_t skipped = std::min<size_t>(decoder->WaitForBytes(), static_cast<size_t>(request));
  decoder->readPosition_ += skipped;
  return static_cast<la_int64_t>(skipped);
}

UniqueArchiveReader PayloadDecoder::OpenReader() {
  UniqueArchiveReader reader(archive_read_new());
  if (!reader) return {};
  archive_read_support_format_tar(reader.Get());
  if (archive_read_open2(reader.Get(), this, nullptr, &PayloadDecoder::ReadCallback, &PayloadDecoder::SkipCallback,
                         nullptr) != ARCHIVE_OK) {
    return {};
  }
  return reader;
}
