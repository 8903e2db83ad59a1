#pragma once
// The reference pitch tracker: aubio's YIN with its defaults (a 2048-sample window, a hop of
// 256 at 44.1 kHz), run offline on an item, so without any audio latency. Each hop's figure is
// timed at the end of that hop; an unvoiced hop (no pitch) is no figure.

#include <vector>

#include "metrica.h"

namespace bench {

std::vector<Leitura> lerYin(const std::vector<float>& x, double alvoHz);

// Its worst error in cents on exact sines from A1 to E5 (a check of the runner). Below 43 Hz
// (E1) its window holds less than two periods, which YIN needs: it cannot read E1 at all.
double conferirYin();

}  // namespace bench
