#pragma once
// Listing the files of a folder by extension (the "*.ext" pattern of the Windows lister).

#include <string>
#include <vector>

// Names (without folder) of the ordinary files in `pasta` whose name ends in "." + `extensao`
// (compared with case, as the Linux file system does). Folders, devices and hidden files (names
// starting with '.') are skipped; symbolic links count by what they point to. Sorted by name so
// that the order does not depend on the file system. An unreadable folder gives an empty list.
std::vector<std::string> listarArquivos(const std::string& pasta, const std::string& extensao);
