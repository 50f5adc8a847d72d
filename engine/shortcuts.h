// Shell links for all users and the current user's taskbar pins.
#pragma once

#include <string>

// Writes one link file, replacing whatever file was there (read-only included). The working directory is
// the target's folder. True when the link was saved.
bool CreateShortcut(const std::wstring& target, const std::wstring& linkPath, const std::wstring& description,
                    const std::wstring& iconPath);

// True when dir exists afterwards, creating it with its parents when needed.
bool EnsureDirectory(const std::wstring& dir);

// Case-insensitive substring test (towlower per character); an empty needle is always found.
bool ContainsNoCase(std::wstring haystack, std::wstring needle);

// The current user's folder of taskbar pins: %APPDATA%\Microsoft\Internet Explorer\Quick Launch\User
// Pinned\TaskBar; empty when the roaming application data folder is unknown.
std::wstring TaskbarPinFolder();
