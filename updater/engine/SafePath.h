// Names that the update server supplies (file paths, batch files, program names) are joined to the
// installation root; only plain relative paths that stay below the root may be used that way.
#pragma once
#include <string>

// False for an empty path, an absolute, rooted or UNC path ("\x", "/x", "\\server\..."), anything
// with a drive letter or another ":" (alternate data streams), and a path with a component made
// only of dots and blanks ("..", "...", ". .": the system trims such names to "." or "..").
bool IsSafeRelativePath(const std::wstring& path);
// The same for a path in the ANSI code page; a text that cannot be converted is not safe.
bool IsSafeRelativePath(const std::string& path);
