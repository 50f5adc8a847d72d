// The installer's command line: upgrade mode ("-update"), silent mode ("/S") and the folder of a silent
// installation ("/D=<folder>", the rest of the text, spaces included, without quotes).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CommandLine {
  bool update = false;  // "-update" anywhere among the arguments, in any letter case
  bool silent = false;  // "/S" before "/D=", in any letter case
  // The text after "/D=" up to the end of the command line; none when "/D=" is not there.
  std::optional<std::wstring> folder;
  // Arguments before "/D=" that are none of the above, in their order; they are logged and ignored.
  std::vector<std::wstring> unknown;

  // Silent mode is for deployment tools; "-update" is given by the application itself, which wants its
  // window and its restart, so it wins over "/S".
  [[nodiscard]] bool RunsSilently() const { return silent && !update; }
};

// Reads the argument text (the command line without the program name). Arguments are split as the
// system splits them (quotes group, a quoted "-update" counts). "/D=" is recognised at the start of an
// argument; it takes the raw rest of the text, so it must come last. "/D=" inside quotes as a whole
// ("\"/D=C:\\My Apps\"") is accepted too: the quotes are dropped.
[[nodiscard]] CommandLine ParseCommandLine(std::wstring_view argumentText);

// Logs what the command line holds that this run will not act on: unknown arguments, "/S" overruled by
// "-update", and a folder given without "/S".
void LogIgnoredArguments(const CommandLine& commandLine);
