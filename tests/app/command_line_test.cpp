#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct Case {
  const wchar_t* text;
  bool update;
  bool silent;
  std::optional<std::wstring> folder;
  std::vector<std::wstring> unknown;
};

TEST(CommandLine, SwitchesFolderAndUnknownArguments) {
  const Case cases[] = {
      {L"", false, false, std::nullopt, {}},
      {L"-UPDATE", true, false, std::nullopt, {}},
      {L"\"-update\"", true, false, std::nullopt, {}},
      {L"--update /update -updatex", false, false, std::nullopt, {L"--update", L"/update", L"-updatex"}},
      {L"/s", false, true, std::nullopt, {}},
      {L"/S /D=C:\\Program Files\\Quillon", false, true, L"C:\\Program Files\\Quillon", {}},
      {L"/S /d=C:\\a  b ", false, true, L"C:\\a  b ", {}},
      {L"/S \"/D=C:\\My Apps\\Quillon\"", false, true, L"C:\\My Apps\\Quillon", {}},
      {L"/S /D=", false, true, L"", {}},
      // Only the start of an argument, outside quotes, is the folder switch; what follows it is the folder.
      {L"/S /quiet \"x /D=y\" /D=C:\\x /S", false, true, L"C:\\x /S", {L"/quiet", L"x /D=y"}},
      {L"/S/D=C:\\x", false, false, std::nullopt, {L"/S/D=C:\\x"}},
      // "-update" counts even after the folder, as a relaunch in upgrade mode appends it there.
      {L"/S /D=C:\\x -update", true, true, L"C:\\x -update", {}},
      {L"/D=C:\\x", false, false, L"C:\\x", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "text: " << testing::PrintToString(std::wstring(c.text)));
    const CommandLine parsed = ParseCommandLine(c.text);
    EXPECT_EQ(parsed.update, c.update);
    EXPECT_EQ(parsed.silent, c.silent);
    EXPECT_EQ(parsed.folder, c.folder);
    EXPECT_EQ(parsed.unknown, c.unknown);
    EXPECT_EQ(parsed.RunsSilently(), c.silent && !c.update);
  }
}

}  // namespace
