#include "afinacao.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "errors.h"

namespace {
const std::array<std::string, 12>& nomes() {
    static const std::array<std::string, 12> table = {"C",  "C#", "D",  "D#", "E",  "F",
                                                      "F#", "G",  "G#", "A",  "A#", "B"};
    return table;
}

const std::array<double, kNotasMIDI>& frequencias() {
    static const std::array<double, kNotasMIDI> table = [] {
        std::array<double, kNotasMIDI> t{};
        for (int n = 0; n < kNotasMIDI; ++n) t[n] = 13.75 * std::pow(2.0, (n - 9) / 12.0);
        return t;
    }();
    return table;
}
}  // namespace

const std::string& nomeNotaMIDI(int nota) {
    return nomes()[static_cast<unsigned>(nota) % 12];
}

double frequenciaNotaMIDI(int nota) {
    return frequencias()[nota];
}

Afinacao::Afinacao(std::string instrumento, std::string tipoAfinacao, int numeroCordas,
                   std::vector<std::string> nomesNotas, std::vector<int> notasMIDI,
                   std::vector<double> frequencias)
    : instrumento_(std::move(instrumento)),
      tipoAfinacao_(std::move(tipoAfinacao)),
      numeroCordas_(numeroCordas),
      nomesNotas_(std::move(nomesNotas)),
      notasMIDI_(std::move(notasMIDI)),
      frequencias_(std::move(frequencias)) {
    const auto n = static_cast<std::size_t>(numeroCordas_);
    if (numeroCordas_ < 1 || nomesNotas_.size() != n || notasMIDI_.size() != n ||
        frequencias_.size() != n)
        throw Exception("Afinacao: string count does not match the string tables");
}

Afinacao Afinacao::deNotas(std::string instrumento, std::string tipoAfinacao,
                           const std::vector<int>& notasMIDI) {
    std::vector<std::string> nomes;
    std::vector<double> frequencias;
    for (int nota : notasMIDI) {
        if (nota < 0 || nota >= kNotasMIDI) throw Exception("Afinacao: note outside the table");
        nomes.push_back(nomeNotaMIDI(nota));
        frequencias.push_back(frequenciaNotaMIDI(nota));
    }
    return Afinacao(std::move(instrumento), std::move(tipoAfinacao),
                    static_cast<int>(notasMIDI.size()), std::move(nomes), notasMIDI,
                    std::move(frequencias));
}

Afinacao Afinacao::deslocada(int semitons) const {
    std::vector<int> notas = notasMIDI_;
    for (int& nota : notas) nota = std::clamp(nota + semitons, 0, kNotasMIDI - 1);
    return deNotas(instrumento_, tipoAfinacao_, notas);
}

std::string Afinacao::getDescricao() const {
    std::string d = instrumento_;
    if (!tipoAfinacao_.empty()) d += " (" + tipoAfinacao_ + ")";
    for (int i = 0; i < numeroCordas_; ++i) {
        d += i == 0 ? " - " : ", ";
        d += nomesNotas_[i];
    }
    return d;
}

bool Afinacao::estaNaFaixa(int frequencia, int corda) const {
    const double f = frequencias_[corda];
    const double margem = f * 2.0 / 9.0;
    const double baixo = f - margem;
    const double alto = f + margem;
    const double a = static_cast<double>(frequencia);
    return baixo <= a && a <= alto;
}
