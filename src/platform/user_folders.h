#pragma once
// The user's own folders and whether a folder takes new files, for files a program keeps between
// runs (the XDG base directory rules).

#include <string>

// The user's configuration folder: $XDG_CONFIG_HOME when it holds an absolute path, otherwise
// $HOME/.config (the home folder from the password database when HOME is unset or relative).
// Empty when no home folder is known.
std::string userConfigDir();
// The user's data folder: $XDG_DATA_HOME when it holds an absolute path, otherwise
// $HOME/.local/share (the home folder found as for userConfigDir). Empty when no home is known.
std::string userDataDir();

// Whether this process may create, replace and remove files in `folder` (an existing folder
// that it may write and search; a read-only file system counts as not writable).
bool folderWritable(const std::string& folder);

// Creates `folder` and its missing parents, each new one readable by the user alone (0700).
// True when `folder` is a folder afterwards.
bool makeFolders(const std::string& folder);
