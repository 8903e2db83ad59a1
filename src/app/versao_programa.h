#pragma once
// The program's version, as the build embedded it (the project's version, e.g. "2.0.4.0").

#include <string>

// The version built into the running program; empty when the build gave it none.
std::string versaoPrograma();
