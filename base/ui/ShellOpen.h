// Opening a file, folder or address with the desktop's default program.
// Tests replace the hook to see what would be opened.
#pragma once

#include <functional>
#include <string>

namespace tavrin {

// Returns whether the desktop accepted the request.
using ShellOpenHook = std::function<bool(const std::string& pathOrUrl)>;

// A text with "://" is an address; anything else a local path.
bool ShellOpen(const std::string& pathOrUrl);

// Installs a hook; an empty one restores the desktop. Returns the previous hook.
ShellOpenHook SetShellOpenHook(ShellOpenHook hook);

} // namespace tavrin
