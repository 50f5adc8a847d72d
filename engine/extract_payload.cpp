// Unpacks the payload into the temporary directory.
//
// Every progress message carries an exact percentage, so the number of entries must be known before the
// first message goes out. A payload with an index frame says so itself: its frames are decoded on every
// core into a few buffers while extraction follows, and the extraction checks the count it meets against
// the index. A payload without one (an older build's, another tool's) is read as before: one Zstandard
// frame of known size is decoded once into memory on a second thread, extraction follows the decoder and
// the count is taken from the decoded archive when it is complete; any other payload is read twice, a
// counting pass on a second thread and the extracting pass here. Either way extraction starts at once,
// and the progress messages wait, in order, until the total is known: the window sees the same messages
// as if counting had come first.
#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "app/win_path.h"
#include "engine/entry_name.h"
#include "engine/framed_payload.h"
#include "engine/install_engine.h"
#include "engine/payload_decoder.h"
#include "engine/payload_reader.h"

namespace {

// Only plain files and directories below the target may be written. The entry paths are redirected to
// absolute paths before writing, so the disk writer's own secure-path checks cannot be used; the
// archive name is checked instead.
bool IsSafeEntry(archive_entry* entry, const std::wstring& name) {
  if (!IsSafeEntryName(name)) return false;
  const auto type = archive_entry_filetype(entry);
  if (type != AE_IFREG && type != AE_IFDIR) return false;
  return archive_entry_hardlink_w(entry) == nullptr && archive_entry_symlink_w(entry) == nullptr;
}

// Posts the progress messages in entry order, holding them back until the counting pass knows the total.
class ProgressPoster {
 public:
  ProgressPoster(HWND window, std::future<EntryCount>& counting) : window_(window), counting_(counting) {}

  void Entry(std::wstring name) {
    pending_.push_back(std::move(name));
    if (!count_ && counting_.valid() && counting_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      count_ = counting_.get();
    }
    if (count_) Flush();
  }

  // Waits for the counting pass and posts what is still held back.
  EntryCount Finish() {
    if (!count_) count_ = counting_.get();
    Flush();
    return *count_;
  }

  [[nodiscard]] bool CountingFailed() const { return count_ && !count_->cleanEnd; }

 private:
  void Flush() {
    const int total = count_->entries < 1 ? 1 : count_->entries;
    for (std::wstring& name : pending_) {
      ++posted_;
      const int percent = posted_ * 100 / total;
      auto* text = new std::wstring(std::move(name));
      // A message the window never receives would leak its text.
      if (!::PostMessageW(window_, WM_INSTALL_PROGRESS, static_cast<WPARAM>(percent), reinterpret_cast<LPARAM>(text))) {
        delete text;
      }
    }
    pending_.clear();
  }

  HWND window_;
  std::future<EntryCount>& counting_;
  std::optional<EntryCount> count_;
  std::vector<std::wstring> pending_;
  int posted_ = 0;
};

enum class CopyResult { kCopied, kReadFailed, kWriteFailed };

// Copies one entry's data, telling which side failed.
CopyResult CopyEntryData(archive* reader, archive* writer) {
  const void* buffer = nullptr;
  size_t length = 0;
  la_int64_t offset = 0;
  int result = archive_read_data_block(reader, &buffer, &length, &offset);
  while (result != ARCHIVE_EOF) {
    if (result < ARCHIVE_OK) return CopyResult::kReadFailed;
    if (archive_write_data_block(writer, buffer, length, offset) < ARCHIVE_OK) return CopyResult::kWriteFailed;
    result = archive_read_data_block(reader, &buffer, &length, &offset);
  }
  return CopyResult::kCopied;
}

// The library's own words for the last error of a or, without any, the fallback.
std::string LibraryError(archive* a, const char* fallback) {
  const char* text = a != nullptr ? archive_error_string(a) : nullptr;
  return text != nullptr && *text != 0 ? text : fallback;
}

// The disk writer reports C errno values (it maps the system's codes onto them).
FailureCause CauseOfWriteErrno(int errnoValue) {
  switch (errnoValue) {
    case ENOSPC: return FailureCause::kNotEnoughSpace;
    case EACCES:
    case EPERM:
    case EROFS: return FailureCause::kNoPermission;
    case EBUSY:
    case ETXTBSY: return FailureCause::kFilesInUse;
    default: return FailureCause::kOther;
  }
}

std::future<EntryCount> StartCounting(const void* data, uint32_t size) {
  try {
    return std::async(std::launch::async, CountPayloadEntries, data, size);
  } catch (const std::exception&) {
    // No second thread: count first, on this one.
    std::promise<EntryCount> counted;
    counted.set_value(CountPayloadEntries(data, size));
    return counted.get_future();
  }
}

}  // namespace

bool InstallEngine::ExtractPayload(const void* data, uint32_t size, const std::wstring& targetDir,
                                   ExtractFailure* failure) const {
  ExtractFailure ignored;
  ExtractFailure& result = failure != nullptr ? *failure : ignored;
  result = {};
  PayloadIndex index;
  const PayloadLayout layout = ReadPayloadIndex(data, size, index);
  if (layout == PayloadLayout::kDamaged) {
    result = {FailureCause::kDamagedInstaller, L"", "the payload's index does not match its frames", 0};
    return false;
  }
  const uint32_t indexedEntries = index.entries;
  // Declared first, destroyed last: the readers below use the decoders' memory.
  std::unique_ptr<FramedPayloadDecoder> framed;
  std::unique_ptr<PayloadDecoder> decoder;
  std::future<EntryCount> directCounting;
  if (layout == PayloadLayout::kFramed) {
    framed = FramedPayloadDecoder::Start(data, std::move(index));
    if (!framed) {
      result = {FailureCause::kOther, L"", "no memory or thread to decode the payload", 0};
      return false;
    }
    std::promise<EntryCount> indexed;
    indexed.set_value({static_cast<int>(indexedEntries), true});
    directCounting = indexed.get_future();
  } else {
    decoder = PayloadDecoder::Start(data, size);
    if (!decoder) directCounting = StartCounting(data, size);
  }
  std::future<EntryCount>& counting = decoder ? decoder->Count() : directCounting;
  // The counting thread reads the caller's buffer; it must finish before this function returns.
  struct JoinCounting {
    std::future<EntryCount>& future;
    ~JoinCounting() {
      if (future.valid()) future.wait();
    }
  } joinCounting{counting};

  UniqueArchiveWriter writer(archive_write_disk_new());
  if (!writer) {
    result = {FailureCause::kOther, L"", "archive_write_disk_new failed", 0};
    return false;
  }
  archive_write_disk_set_options(writer.Get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_UNLINK);
  UniqueArchiveReader reader = framed    ? framed->OpenReader()
                               : decoder ? decoder->OpenReader()
                                         : OpenPayloadReader(data, size);
  if (!reader) {
    result = {FailureCause::kDamagedInstaller, L"", "the payload is not a readable archive", 0};
    return false;
  }

  // The first entry that fails ends the extraction: the tree is unusable from then on, and the worker
  // removes it. The writer and reader are released before returning, so no file stays open.
  ProgressPoster progress(notifyWindow, counting);
  bool failed = false;
  bool cleanEnd = false;
  uint32_t entriesMet = 0;
  archive_entry* entry = nullptr;
  for (;;) {
    const int header = archive_read_next_header(reader.Get(), &entry);
    if (header != ARCHIVE_OK) {
      cleanEnd = header == ARCHIVE_EOF;
      if (!cleanEnd) {
        result = {FailureCause::kDamagedInstaller, L"", LibraryError(reader.Get(), "damaged archive header"),
                  archive_errno(reader.Get())};
      }
      break;
    }
    // The entry's path storage is replaced below; keep the archive name for the progress message.
    const wchar_t* archiveName = archive_entry_pathname_w(entry);
    std::wstring name = archiveName ? archiveName : L"";
    const bool safe = IsSafeEntry(entry, name);
    const std::wstring full = JoinPath(targetDir, name);
    archive_entry_copy_pathname_w(entry, full.c_str());
    // An index that counts too few entries would push the percentages past 100.
    if (framed && ++entriesMet > indexedEntries) {
      result = {FailureCause::kDamagedInstaller, name, "more entries than the payload's index counts", 0};
      failed = true;
      break;
    }
    progress.Entry(name);
    if (progress.CountingFailed()) {  // the stream is damaged further on; stop writing now
      result = {FailureCause::kDamagedInstaller, name, "the archive is damaged further on", 0};
      failed = true;
      break;
    }

    if (!safe) {
      result = {FailureCause::kDamagedInstaller, name, "entry refused: not a plain file or folder below the target", 0};
    } else if (archive_write_header(writer.Get(), entry) != ARCHIVE_OK) {
      result = {CauseOfWriteErrno(archive_errno(writer.Get())), name, LibraryError(writer.Get(), "header refused"),
                archive_errno(writer.Get())};
    } else {
      const CopyResult copy = CopyEntryData(reader.Get(), writer.Get());
      if (copy == CopyResult::kReadFailed) {
        result = {FailureCause::kDamagedInstaller, name, LibraryError(reader.Get(), "damaged entry data"),
                  archive_errno(reader.Get())};
      } else if (copy == CopyResult::kWriteFailed) {
        result = {CauseOfWriteErrno(archive_errno(writer.Get())), name, LibraryError(writer.Get(), "write failed"),
                  archive_errno(writer.Get())};
      } else if (archive_write_finish_entry(writer.Get()) < ARCHIVE_WARN) {
        result = {CauseOfWriteErrno(archive_errno(writer.Get())), name,
                  LibraryError(writer.Get(), "entry could not be completed"), archive_errno(writer.Get())};
      }
    }
    if (result.cause != FailureCause::kNone) {
      if (safe) archive_write_finish_entry(writer.Get());
      failed = true;
      break;
    }
  }
  reader.Reset();
  writer.Reset();
  const EntryCount count = progress.Finish();
  if (!failed && cleanEnd && framed && (entriesMet != indexedEntries || !framed->RestIsIntact())) {
    result = {FailureCause::kDamagedInstaller, L"", "the payload's index or last frames do not match the archive", 0};
    return false;
  }
  if (!failed && cleanEnd && !count.cleanEnd) {
    result = {FailureCause::kDamagedInstaller, L"", "the archive's checksum or end does not match", 0};
  }
  return !failed && cleanEnd && count.cleanEnd;
}
