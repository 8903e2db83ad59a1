#include "texto_cents.h"

#include <cmath>
#include <cstdio>

std::string textoCents(double cents) {
    if (!std::isfinite(cents)) return {};
    // Rounded to tenths first, so that -0.04 and +0.04 both read "0.0".
    const double decimos = std::round(cents * 10.0);
    char texto[48];
    if (decimos == 0.0)
        std::snprintf(texto, sizeof texto, "0.0 \xA2");
    else
        std::snprintf(texto, sizeof texto, "%+.1f \xA2", decimos / 10.0);
    return texto;
}
