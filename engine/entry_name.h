// Which archive entry names may be written below the target folder. Pure text code, so the check can be
// exercised on its own with any name an archive could carry.
#pragma once

#include <string>

// True when name is relative, names no drive or alternate stream, and has no component that climbs: ".."
// or ".." followed by more dots and blanks, which Windows trims to "..". "/" and "\" both separate
// components.
bool IsSafeEntryName(const std::wstring& name);
