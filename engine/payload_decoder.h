// Decodes a payload that is a single Zstandard frame of known size into memory, once, on its own thread.
//
// The extracting reader follows the decoder through the decoded bytes while it runs, and the entry
// count is taken from the decoded archive as soon as the decoder has finished; so the stream is
// decompressed once instead of twice, and the two cores share the work of decoding and writing files.
#pragma once

#include <archive.h>

#include <condition_variable>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/payload_reader.h"

class PayloadDecoder {
 public:
  // Starts decoding; null when the payload is not one frame with a recorded content size, or when
  // there is not enough memory to hold the decoded archive. Callers then read the payload directly.
  static std::unique_ptr<PayloadDecoder> Start(const void* data, uint32_t size);

  PayloadDecoder(const PayloadDecoder&) = delete;
  PayloadDecoder& operator=(const PayloadDecoder&) = delete;
  ~PayloadDecoder();

  // A tar reader over the decoded bytes; it waits for the decoder where it catches up with it, and
  // fails where the decoder found the stream damaged. Invalid when the archive cannot be opened.
  UniqueArchiveReader OpenReader();

  // The entry count, ready once the whole frame is decoded and its checksum verified.
  std::future<EntryCount>& Count() { return count_; }

 private:
  PayloadDecoder(const unsigned char* input, size_t inputSize, std::unique_ptr<unsigned char[]> output,
                 size_t outputSize);
  void Decode() noexcept;
  // Called by libarchive, which has no unwind tables: nothing may be thrown through it.
  static la_ssize_t ReadCallback(archive* reader, void* self, const void** buffer) noexcept;
  static la_int64_t SkipCallback(archive* reader, void* self, la_int64_t request) noexcept;
  // Waits until decoded bytes lie beyond readPosition_ or decoding has ended; returns how many do.
  size_t WaitForBytes();

  const unsigned char* input_;
  size_t inputSize_;
  std::unique_ptr<unsigned char[]> output_;
  size_t outputSize_;

  std::mutex mutex_;
  std::condition_variable progressed_;
  size_t decoded_ = 0;     // guarded by mutex_
  bool finished_ = false;  // guarded by mutex_
  bool intact_ = false;    // guarded by mutex_: the frame ended where the payload ends, checksum verified

  size_t readPosition_ = 0;  // used only by the reader's thread
  std::promise<EntryCount> countPromise_;
  std::future<EntryCount> count_;
  std::thread thread_;
};
