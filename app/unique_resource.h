// Ownership of Win32 handles, GDI objects and COM pointers.
//
// One template owns a resource through a traits class that names the handle type, its invalid value and
// the function that closes it. Each kind of resource gets one alias below; no code calls a close function
// by hand.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <utility>

template <typename Traits>
class UniqueAny {
 public:
  using Pointer = typename Traits::Pointer;

  UniqueAny() noexcept = default;
  explicit UniqueAny(Pointer value) noexcept : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueAny() { Reset(); }

  [[nodiscard]] Pointer Get() const noexcept { return value_; }
  [[nodiscard]] bool IsValid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return IsValid(); }

  void Reset(Pointer value = Traits::Invalid()) noexcept {
    Pointer old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  [[nodiscard]] Pointer Release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  // For out-parameters: closes what is held, then hands out the slot to fill.
  Pointer* Put() noexcept {
    Reset();
    return &value_;
  }

 private:
  Pointer value_ = Traits::Invalid();
};

template <typename T, auto CloseFunction, T InvalidValue = T{}>
struct NullInvalidTraits {
  using Pointer = T;
  static Pointer Invalid() noexcept { return InvalidValue; }
  static void Close(Pointer value) noexcept { CloseFunction(value); }
};

struct FileHandleTraits {
  using Pointer = HANDLE;
  static Pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Pointer value) noexcept { ::CloseHandle(value); }
};

struct FindHandleTraits {
  using Pointer = HANDLE;
  static Pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Pointer value) noexcept { ::FindClose(value); }
};

template <typename T>
struct DeleteObjectTraits {
  using Pointer = T;
  static Pointer Invalid() noexcept { return nullptr; }
  static void Close(Pointer value) noexcept { ::DeleteObject(value); }
};

using UniqueHandle = UniqueAny<NullInvalidTraits<HANDLE, &::CloseHandle>>;
using UniqueFileHandle = UniqueAny<FileHandleTraits>;
using UniqueFindHandle = UniqueAny<FindHandleTraits>;
using UniqueHkey = UniqueAny<NullInvalidTraits<HKEY, &::RegCloseKey>>;
using UniqueHmodule = UniqueAny<NullInvalidTraits<HMODULE, &::FreeLibrary>>;
using UniqueHglobal = UniqueAny<NullInvalidTraits<HGLOBAL, &::GlobalFree>>;
using UniqueHinternet = UniqueAny<NullInvalidTraits<HINTERNET, &::WinHttpCloseHandle>>;
using UniqueHbitmap = UniqueAny<DeleteObjectTraits<HBITMAP>>;
using UniqueHfont = UniqueAny<DeleteObjectTraits<HFONT>>;
using UniqueHbrush = UniqueAny<DeleteObjectTraits<HBRUSH>>;
using UniqueHpen = UniqueAny<DeleteObjectTraits<HPEN>>;
using UniqueHrgn = UniqueAny<DeleteObjectTraits<HRGN>>;
using UniqueHdc = UniqueAny<NullInvalidTraits<HDC, &::DeleteDC>>;

template <typename Interface>
struct ComTraits {
  using Pointer = Interface*;
  static Pointer Invalid() noexcept { return nullptr; }
  static void Close(Pointer value) noexcept { value->Release(); }
};
template <typename Interface>
using ComPtr = UniqueAny<ComTraits<Interface>>;
