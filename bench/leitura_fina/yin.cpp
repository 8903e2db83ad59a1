#include "yin.h"

#include <aubio/aubio.h>

#include <cmath>
#include <limits>

namespace bench {

namespace {
constexpr uint_t kJanela = 2048;
constexpr uint_t kPasso = 256;
}  // namespace

std::vector<Leitura> lerYin(const std::vector<float>& x, double alvoHz) {
    std::vector<Leitura> r;
    aubio_pitch_t* yin = new_aubio_pitch("yin", kJanela, kPasso, kTaxa);
    aubio_pitch_set_unit(yin, "Hz");
    fvec_t* entrada = new_fvec(kPasso);
    fvec_t* saida = new_fvec(1);
    for (std::size_t i = 0; i + kPasso <= x.size(); i += kPasso) {
        for (uint_t k = 0; k < kPasso; ++k) entrada->data[k] = x[i + k];
        aubio_pitch_do(yin, entrada, saida);
        const double hz = saida->data[0];
        r.push_back({static_cast<double>(i + kPasso) / kTaxa,
                     hz > 0.0 ? 1200.0 * std::log2(hz / alvoHz) : std::numeric_limits<double>::quiet_NaN()});
    }
    del_fvec(saida);
    del_fvec(entrada);
    del_aubio_pitch(yin);
    return r;
}

double conferirYin() {
    double pior = 0.0;
    for (double hz : {55.0, 82.41, 110.0, 196.0, 329.63, 659.26}) {
        std::vector<float> x(kTaxa);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / kTaxa));
        const std::vector<Leitura> r = lerYin(x, hz);
        for (const Leitura& l : r)
            if (l.t > 0.5 && std::isfinite(l.cents)) pior = std::max(pior, std::fabs(l.cents));
    }
    return pior;
}

}  // namespace bench
