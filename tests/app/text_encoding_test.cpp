#include "app/text_encoding.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// The conversions follow the calling thread's locale; each test chooses it and restores the previous one.
class ThreadLocale {
 public:
  explicit ThreadLocale(LANGID language) : previous_(::GetThreadLocale()) {
    ::SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
  }
  ~ThreadLocale() { ::SetThreadLocale(previous_); }

 private:
  LCID previous_;
};

const wchar_t kChinesePath[] = L"C:\\Users\\\u5f20\u4e09\\AppData\\Local\\Temp\\";  // 张三

TEST(TextConversion, ChinesePathUnderWesternCodePageBecomesQuestionMarks) {
  ThreadLocale western(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_EQ(WideToAnsi(kChinesePath), "C:\\Users\\??\\AppData\\Local\\Temp\\");
}

TEST(TextConversion, ChinesePathUnderChineseCodePageRoundTripsThroughUtf8) {
  ThreadLocale chinese(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
  const std::string ansi = WideToAnsi(kChinesePath);
  EXPECT_EQ(ansi, "C:\\Users\\\xd5\xc5\xc8\xfd\\AppData\\Local\\Temp\\");  // GBK
  EXPECT_EQ(AnsiToUtf8(ansi), "C:\\Users\\\xe5\xbc\xa0\xe4\xb8\x89\\AppData\\Local\\Temp\\");
}

TEST(TextConversion, WesternSystemMessageBecomesUtf8) {
  ThreadLocale western(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
  EXPECT_EQ(AnsiToUtf8("Acc\xe8s refus\xe9."), "Acc\xc3\xa8s refus\xc3\xa9.");
}

TEST(TextConversion, Utf8KeepsEveryCharacterAndEmptyTextStaysEmpty) {
  EXPECT_EQ(WideToUtf8(L"\u5b89\u88c5\u7ed3\u679c :0"), "\xe5\xae\x89\xe8\xa3\x85\xe7\xbb\x93\xe6\x9e\x9c :0");
  EXPECT_EQ(WideToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");  // a surrogate pair stays one character
  EXPECT_EQ(Utf8ToWide("\xe5\xae\x89\xe8\xa3\x85"), L"\u5b89\u88c5");
  EXPECT_EQ(WideToAnsi(L""), "");
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(AnsiToUtf8(""), "");
}

}  // namespace
