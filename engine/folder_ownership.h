// Whether a folder is ours to replace. The installer moves aside, replaces or deletes a folder only when it
// is missing, empty, or an installation of this application; anything else belongs to the user.
#pragma once

#include <string>

// Every completed installation carries this file at its top level; the worker writes it into the new tree
// before the tree is swapped into place.
inline constexpr wchar_t kInstallMarkerName[] = L"quillon_installation.ini";
// The launcher every installation has at its top level.
inline constexpr wchar_t kLauncherName[] = L"quillon_launcher.exe";

enum class FolderState {
  kMissing,       // nothing at that path
  kEmpty,         // an empty folder
  kInstallation,  // an installation of this application
  kForeign,       // anything else: a folder with the user's files, or a file
  kUnreadable,    // exists, but its contents cannot be listed
};

// An installation is a folder that carries the marker, or (made before the marker existed) the folder
// registered as the application's InstallLocation with the launcher at its top level.
// registeredLocation is the registered InstallLocation, empty when there is none.
[[nodiscard]] FolderState ClassifyFolder(const std::wstring& folder, const std::wstring& registeredLocation);

// The InstallLocation of the uninstall entry without trailing separators; empty when there is none.
[[nodiscard]] std::wstring RegisteredInstallLocation();

// Writes the marker into the top level of folder (the new tree, before it is swapped into place).
[[nodiscard]] bool WriteInstallMarker(const std::wstring& folder, const std::wstring& version);

// Two folder texts name the same folder: compared without regard to case, trailing separators ignored.
[[nodiscard]] bool SameFolder(const std::wstring& a, const std::wstring& b);
