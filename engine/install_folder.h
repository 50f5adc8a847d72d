// The target folder text: the location the installer proposes, and whether a typed folder can take an
// installation at all.
#pragma once

#include <string>

// Appended to every default or picked location.
inline constexpr wchar_t kProductSubfolder[] = L"\\vexor\\Quillon";

// A folder chosen in the picker (a drive root comes with a backslash) with the product subfolder appended:
// "D:\" gives "D:\vexor\Quillon", "D:\Apps" gives "D:\Apps\vexor\Quillon".
std::wstring AppendProductSubfolder(std::wstring picked);

// The folder the installer proposes: the registered installation's (its InstallLocation), else the product
// subfolder in the Program Files folder of 32-bit programs.
std::wstring ProposedInstallFolder();

enum class FolderProblem {
  kNone,
  kEmpty,         // nothing but blanks
  kNotAbsolute,   // relative, or relative to a drive's current folder ("C:Apps", "\Apps")
  kRoot,          // a drive or share root: the swap would move the whole drive
  kInvalidName,   // a character or a device name that no Windows folder can have
  kMissingRoot,   // the drive or share does not exist
  kFileInTheWay,  // the folder, or one of its parents, exists as a file
};

struct FolderCheck {
  std::wstring folder;  // the text without surrounding blanks and trailing separators
  FolderProblem problem = FolderProblem::kNone;
};

// Whether Windows could create the folder of the text, looking only at the text and at what already exists;
// nothing is created.
FolderCheck CheckInstallFolder(const std::wstring& text);

// A short UTF-8 description of the problem for the log.
const char* DescribeFolderProblem(FolderProblem problem);
