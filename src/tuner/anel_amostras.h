#pragma once
// AnelAmostras: the latest samples of a stream, numbered from the stream's first sample, in a
// ring whose capacity is fixed when it is prepared. Older samples are overwritten.

#include <cstdint>
#include <vector>

class AnelAmostras {
public:
    // Room for at least `capacidade` samples; the stream starts again at sample 0.
    void preparar(int capacidade);
    void limpar() { total_ = 0; }

    void acrescentar(const float* amostras, int n);
    // Number of the next sample to arrive (the count of samples seen so far).
    std::int64_t total() const { return total_; }
    // The oldest sample still held.
    std::int64_t inicio() const {
        return total_ > static_cast<std::int64_t>(dados_.size())
                   ? total_ - static_cast<std::int64_t>(dados_.size())
                   : 0;
    }
    bool contem(std::int64_t primeiro, int n) const {
        return primeiro >= inicio() && primeiro + n <= total_ && n >= 0;
    }
    // Sample i, which must be held.
    float operator[](std::int64_t i) const {
        return dados_[static_cast<std::size_t>(i & mascara_)];
    }
    // Copies n held samples from `primeiro` on into `destino`.
    void copiar(std::int64_t primeiro, int n, float* destino) const;

private:
    std::vector<float> dados_;
    std::int64_t mascara_ = 0;
    std::int64_t total_ = 0;
};
