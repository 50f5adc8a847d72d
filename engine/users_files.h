// What the user added to an installation (plugins, settings, the application's own data) and carrying it
// into the tree that replaces the installation. The installation's record tells the installer's files
// from everything else: what the record does not list is not the installer's to drop.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

struct UsersEntry {
  std::wstring relative;  // below the installation, "\" separators
  bool folder = false;
  bool link = false;  // a junction or symbolic link: never followed, never carried (logged)
  uint64_t bytes = 0;
};

struct UsersEntries {
  // False when the folder holds no record (an installation made before the record existed, or none at
  // all): nothing in it is known to be the user's, and nothing is carried.
  bool recorded = false;
  std::vector<UsersEntry> entries;  // parents before their contents
  uint64_t bytes = 0;               // the files' sizes added up
};

// Lists what the installation in folder holds beyond its record: files the record does not list, and
// folders it does not list (empty ones included). Links are listed but not followed. Returns false, with error set,
// when a folder of the installation cannot be listed: what the user has there is then unknown.
[[nodiscard]] bool FindUsersEntries(const std::wstring& installation, UsersEntries& found, std::error_code& error);

// Copies the entries from installation into newTree, creating the folders they need. Where newTree has a
// file or folder of an entry's name (or a file where the entry needs a folder), the new tree wins and the
// entry is left out (logged); so are links. The installation itself is only read. Returns false, with error set, when a
// folder cannot be created or a file cannot be copied.
[[nodiscard]] bool CarryUsersEntries(const std::wstring& installation, const UsersEntries& found,
                                     const std::wstring& newTree, std::error_code& error);
