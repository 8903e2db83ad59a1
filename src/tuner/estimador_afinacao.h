#pragma once
// EstimadorAfinacao: the main window's pitch estimator. For the selected string of the current
// tuning it finds the strongest spectrum bin inside the string's band and how far that bin lies
// from the bin nearest to the string's reference frequency.
//
// Bin k stands for k × larguraBin Hz, larguraBin = taxaAmostragem / tamanhoFFT (11025 / 16380),
// although the analyser transforms 16384 samples: the estimator keeps the requested length for
// its own arithmetic. Bins 0 .. tamanhoFFT/2 − 1 are examined.
//
// Beside this classic reading in whole bins, the fine reading places the peak between the
// analyser's own bins (taxaAmostragem / 16384 Hz apart) from the complex spectrum around it, and
// tells in cents how far it lies from the string's equal-tempered target.

#include <array>

#include "afinacao.h"
#include "spectrum.h"

class EstimadorAfinacao {
public:
    static constexpr int kTaxaAmostragem = 11025;
    static constexpr int kTamanhoFFT = 16380;
    static constexpr int kTamanhoBuffer = 4069;
    static constexpr int kMaxCordas = 6;

    explicit EstimadorAfinacao(int taxaAmostragem = kTaxaAmostragem, int tamanhoFFT = kTamanhoFFT);

    double larguraBin() const { return larguraBin_; }
    // The length the analyser transforms: tamanhoFFT rounded up to a power of two.
    int tamanhoTransformada() const { return tamanhoTransformada_; }
    int binsExaminados() const { return tamanhoFFT_ / 2; }

    // The current tuning (owned by the tuning manager) or none. Strings past the sixth are not
    // measured.
    void setAfinacao(const Afinacao* afinacao);
    const Afinacao* afinacao() const { return afinacao_; }

    int cordaSelecionada() const { return cordaSelecionada_; }
    void setCordaSelecionada(int corda) { cordaSelecionada_ = corda; }

    // 0 none, 1 add one bin width to the peak, 2 subtract one; anything else acts as 0.
    int tipoSistema() const { return tipoSistema_; }
    void setTipoSistema(int tipo) { tipoSistema_ = tipo; }

    // For each string: its reference frequency minus the frequency of the bin nearest to it
    // (on an exact tie the lower bin).
    void calcularDesvios();
    const std::array<double, kMaxCordas>& desvios() const { return desvios_; }

    // Frequency of the strongest bin whose frequency, cut to whole Hz, passes the selected
    // string's band test; the lower bin wins a tie; 0.0 Hz when no accepted bin carries energy.
    double frequenciaPico(const TSpectrum& espectro) const;

    // Signed deviation in Hz of the selected string: the peak, corrected by tipoSistema, minus
    // the frequency of the bin nearest to the target. Positive when the string sounds sharp.
    double desvio(const TSpectrum& espectro) const;

    // --- Fine reading ------------------------------------------------------------------------
    // Frequency in Hz of the strongest peak in the selected string's band, on the analyser's own
    // grid (bin k is k × taxaAmostragem / tamanhoTransformada Hz; the band test takes that
    // frequency cut to whole Hz), placed between bins by the complex bins around it. NaN when
    // there is no reading: no accepted bin carries energy, or the spectrum has another length.
    double frequenciaFina(const TSpectrum& espectro) const;
    // Cents from the selected string's target, 1200 × log2(frequenciaFina / target): positive
    // when the string sounds sharp; NaN when there is no reading. tipoSistema does not apply.
    double desvioCents(const TSpectrum& espectro) const;

private:
    bool cordaValida(int corda) const;
    // The run of bins, at `largura` Hz per bin, whose whole Hz pass each string's band test.
    void calcularFaixas(double largura, std::array<int, kMaxCordas>& primeiro,
                        std::array<int, kMaxCordas>& ultimo) const;
    // The accepted bin of greatest magnitude (the lower one on a tie); -1 when none carries
    // energy.
    static int binPico(const TSpectrum& espectro, int primeiro, int ultimo);

    int taxaAmostragem_;
    int tamanhoFFT_;
    int tamanhoTransformada_;
    double larguraBin_;
    const Afinacao* afinacao_ = nullptr;
    int cordaSelecionada_ = 0;
    int tipoSistema_ = 0;
    std::array<double, kMaxCordas> desvios_{};
    // Accepted bins of each string: the band test on whole Hz is monotonic in the bin index, so
    // the bins it accepts form one run [primeiroBin, ultimoBin] (empty when primeiro > ultimo).
    std::array<int, kMaxCordas> primeiroBin_{};
    std::array<int, kMaxCordas> ultimoBin_{};
    // The same on the analyser's own grid, for the fine reading.
    std::array<int, kMaxCordas> primeiroBinFino_{};
    std::array<int, kMaxCordas> ultimoBinFino_{};
};
