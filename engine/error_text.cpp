#include "engine/error_text.h"

#include <windows.h>

#include "app/text_encoding.h"

std::string ErrorText(const std::error_code& error) {
  std::string text;
  if (error.category() == std::system_category()) {
    char* buffer = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    if (length > 0 && buffer) text.assign(buffer, length);
    ::LocalFree(buffer);
  } else {
    text = error.message();
  }
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return AnsiToUtf8(text);
}
