#pragma once
// TFFT: keeps the latest N samples of its source and, after every completed buffer, recomputes
// their spectrum (forward DFT, rectangular window, unscaled). Magnitude(i) reads bin i divided by
// the square root of N.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio_source.h"
#include "bar_analysis.h"
#include "real_fft.h"
#include "spectrum.h"

enum class TFFTChannel : std::int8_t { chBoth = 0, chLeft = 1, chRight = 2 };

class TFFT : public TBarAnalysis, public TSpectrum {
public:
    static constexpr int kDefaultBufSize = 1024;

    explicit TFFT(TComponent* owner = nullptr);
    ~TFFT() override;

    TAudioSource* Source() const { return source_; }
    // Registers with the new source (and unregisters from the old one) and rounds the length;
    // for a new source the tables are released, to be prepared again for its buffers.
    void setSource(TAudioSource* source);

    int BufSize() const { return bufSize_; }
    // Stores the length and releases the tables; re-prepares when they existed (which rounds),
    // otherwise only rounds.
    void setBufSize(int value);

    TFFTChannel Channels() const { return channels_; }
    void setChannels(TFFTChannel value) { channels_ = value; }

    // Magnitude of bin i, 0 <= i < N: |X[i]| / sqrt(N). 0.0 outside that range or when unprepared.
    double Magnitude(int i) const override;
    // Bin i, 0 <= i < N: X[i] / sqrt(N). 0 outside that range or when unprepared.
    std::complex<double> Bin(int i) const override;
    // N, the analysis length.
    int Length() const override { return bufSize_; }

    int BarCount() const override { return bufSize_ / 2; }
    long double BarLevel(int i) const override;
    long double BarFrequency(int i) const override;

    // The callback registered with the source: kind 0 processes, kind 2 prepares.
    void SourceEvent(TComponent* sender, std::uint8_t kind);
    // Loads the source's latest buffer, transforms, and tells this analyser's clients (kind 0).
    virtual void Process(TAudioSource* recorder);
    // Allocates the tables for the length rounded against the source, with a silent history.
    void Prepare(TAudioSource* source);

    bool prepared() const { return engine_ != nullptr; }
    unsigned int sampleRate() const { return sampleRate_; }
    // Bytes held while prepared (history, tables, work array).
    std::size_t memoryBytes() const;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void roundBufSize(const TAudioSource* source);
    // Shifts the latest buffer into the history; false when it was not loaded.
    bool load(TAudioSource& recorder);
    void freeTables();
    TAudioClientEvent sourceEvent() { return TAudioClientEvent::bind(this, &TFFT::SourceEvent); }

    TAudioSource* source_ = nullptr;
    bool registered_ = false;
    int bufSize_ = kDefaultBufSize;
    TFFTChannel channels_ = TFFTChannel::chBoth;
    unsigned int sampleRate_ = 0;
    double scale_ = 0.0;
    std::unique_ptr<double[]> history_;  // N samples, oldest first
    int tableSize_ = 0;                  // the N the tables were made for (0: none)
    std::unique_ptr<RealFft> engine_;
};
