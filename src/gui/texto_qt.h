#pragma once
// Windows-1252 texts of the program as the widgets show them.

#include <QString>
#include <string>

// The text as a QString; the CR LF line breaks of the language files become "\n".
QString textoQt(const std::string& ansi);
