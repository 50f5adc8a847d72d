#include "app/win_path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The path texts give what the C++ library's paths give for the same text: the worker's parent folders,
// its siblings and the entry paths below the target were computed that way, and must stay so.
TEST(PathText, AgreesWithTheLibrarysPaths) {
  for (const wchar_t* text : {L"C:\\a\\b", L"C:\\a\\b\\", L"C:/a/b", L"C:\\a", L"C:\\", L"C:", L"C:a", L"a\\b", L"a",
                              L"", L"\\\\server\\share\\x", L"\\\\server\\share", L"\\\\server"}) {
    SCOPED_TRACE(testing::Message() << "path text " << std::filesystem::path(text).string());
    const std::filesystem::path path(text);
    EXPECT_EQ(ParentPath(text), path.parent_path().wstring());
    EXPECT_EQ(FileName(text), path.filename().wstring());
    EXPECT_EQ(JoinPath(text, L"n\\m.txt"), (path / L"n\\m.txt").wstring());
    EXPECT_EQ(HasRelativePart(text), path.has_relative_path());
  }
}

}  // namespace
