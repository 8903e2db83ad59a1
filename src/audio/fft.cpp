#include "fft.h"

#include <cmath>
#include <cstring>

TFFT::TFFT(TComponent* owner) : TBarAnalysis(owner) {}

TFFT::~TFFT() {
    if (source_ != nullptr && registered_) source_->RemoveClient(sourceEvent());
}

void TFFT::setSource(TAudioSource* source) {
    if (source == source_) return;
    if (source_ != nullptr && registered_) source_->RemoveClient(sourceEvent());
    registered_ = false;
    source_ = source;
    // The tables were made for the old source's buffers: a new source's first buffer (or its
    // device opening) prepares them again, at a length that takes its buffers in.
    if (source_ != nullptr) freeTables();
    if (source_ != nullptr) {
        source_->AddClient(sourceEvent());
        registered_ = true;
    }
    roundBufSize(source_);
    if (source_ != nullptr) FreeNotification(source_);
}

void TFFT::setBufSize(int value) {
    bufSize_ = value;
    const bool wasPrepared = prepared();
    freeTables();
    if (wasPrepared)
        Prepare(source_);
    else
        roundBufSize(source_);
}

void TFFT::roundBufSize(const TAudioSource* source) {
    const int wanted = std::max(bufSize_, source != nullptr ? source->BufSize() : 0);
    int n = 1;
    while (n < wanted && n <= (1 << 29)) n *= 2;
    bufSize_ = n;
}

void TFFT::Prepare(TAudioSource* source) {
    if (source == nullptr) return;
    freeTables();
    roundBufSize(source);
    const int n = bufSize_;
    history_ = std::make_unique<double[]>(n);  // value-initialised: a silent history
    tableSize_ = n;
    scale_ = std::sqrt(static_cast<double>(n));
    engine_ = std::make_unique<RealFft>(n);
    notifyClients(kAudioDevicePrepared);
}

void TFFT::freeTables() {
    history_.reset();
    engine_.reset();
    tableSize_ = 0;
}

std::size_t TFFT::memoryBytes() const {
    if (!prepared()) return 0;
    return static_cast<std::size_t>(bufSize_) * sizeof(double) + engine_->memoryBytes();
}

double TFFT::Magnitude(int i) const {
    if (!prepared() || i < 0 || i >= bufSize_) return 0.0;
    return std::sqrt(engine_->magnitudeSquared(i)) / scale_;
}

std::complex<double> TFFT::Bin(int i) const {
    if (!prepared() || i < 0 || i >= bufSize_) return {};
    return {engine_->real(i) / scale_, engine_->imag(i) / scale_};
}

long double TFFT::BarLevel(int i) const {
    if (!prepared() || i < 0 || i >= bufSize_) return 0.0L;
    return std::sqrt(engine_->magnitudeSquared(i)) / (scale_ * 1024.0);
}

long double TFFT::BarFrequency(int i) const {
    if (bufSize_ <= 0) return 0.0L;
    const unsigned long long hz = static_cast<unsigned long long>(static_cast<unsigned int>(i)) *
                                  sampleRate_ / static_cast<unsigned int>(bufSize_);
    return static_cast<long double>(hz);
}

void TFFT::SourceEvent(TComponent*, std::uint8_t kind) {
    if (kind == kAudioBufferReady)
        Process(source_);
    else if (kind == kAudioDevicePrepared)
        Prepare(source_);
}

void TFFT::Process(TAudioSource* recorder) {
    if (recorder == nullptr) return;
    sampleRate_ = static_cast<unsigned int>(recorder->Quality().Frequency());
    // A buffer that cannot be loaded leaves the previous spectrum in place.
    if (!load(*recorder)) return;
    engine_->transform(history_.get());
    notifyClients(kAudioBufferReady);
}

bool TFFT::load(TAudioSource& recorder) {
    const int frames = recorder.FrameCount();
    if (frames < 0 || frames > bufSize_) return false;
    // Tables of another length (the length was rounded since) are made again first.
    if (!prepared() || tableSize_ != bufSize_) Prepare(&recorder);
    if (!prepared() || frames > tableSize_) return false;

    const int n = bufSize_;
    double* h = history_.get();
    std::memmove(h, h + frames, static_cast<std::size_t>(n - frames) * sizeof(double));
    double* out = h + (n - frames);

    const int c = static_cast<int>(channels_);
    const int ch = recorder.Quality().Channels();
    const int bits = recorder.Quality().BitsPerSample();
    const std::uint8_t* data = recorder.Data();
    if (ch < c || c == 0 || (bits != 8 && bits != 16)) {
        for (int i = 0; i < frames; ++i) out[i] = recorder.Sample(i);
    } else if (bits == 8) {
        for (int i = 0; i < frames; ++i) out[i] = data[ch * i + c - 1] * 64 - 8192;
    } else {
        for (int i = 0; i < frames; ++i) out[i] = sample16(data, ch * i + c - 1);
    }
    return true;
}

void TFFT::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == source_) {
        source_ = nullptr;
        registered_ = false;
        freeTables();
    }
    TBarAnalysis::Notification(component, operation);
}
