#pragma once
// Replacing a file in one step: the new contents go to a temporary file beside it, reach the
// disk, and are renamed over the old one, so that a crash or a full disk while saving leaves
// either the old file whole or the new one, never a cut file.

#include <functional>
#include <string>

// Writes every byte of `text` to the descriptor; false on any error.
bool writeAll(int fd, const std::string& text);

enum class ReplaceResult {
    replaced,
    noTemporary,  // no new file can be made in the folder (nothing was touched)
    failed,       // writing or renaming failed (the old file is as it was)
};

// Replaces `path` with `text` (mode 0644). `beforeRename`, when given, runs once the temporary
// file is written and synced, just before the rename (tests stop the process there).
ReplaceResult replaceFile(const std::string& path, const std::string& text,
                          const std::function<void()>& beforeRename = {});
