#include "afinacao_notas.h"

Afinacao afinacaoDeNotas(const std::string& instrumento, const std::vector<int>& notas) {
    std::vector<std::string> nomes;
    std::vector<double> frequencias;
    for (int n : notas) {
        nomes.push_back(nomeNotaMIDI(n));
        frequencias.push_back(frequenciaNotaMIDI(n));
    }
    return Afinacao(instrumento, "", static_cast<int>(notas.size()), nomes, notas, frequencias);
}
