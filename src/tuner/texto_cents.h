#pragma once
// The fine reading's figure as the window shows it: a sign, one decimal and the cent sign, the
// same in every language ("+3.2 ¢", "-0.4 ¢", "0.0 ¢"), in Windows-1252 like every text of the
// program (the cent sign is byte 0xA2).

#include <string>

// Empty for no reading (NaN, or not finite). A figure that rounds to zero carries no sign.
std::string textoCents(double cents);
