#pragma once
// Where the running program lives, read from /proc/self/exe (not the current directory).

#include <string>

// Absolute path of the running executable; empty when it cannot be read.
std::string programPath();
// Its folder, without a trailing "/"; empty when unknown.
std::string programDir();
