#pragma once
// Raises or lowers a stereo stream by a fraction of a cent: the synthesiser places a note's pitch
// in whole cents only, and this stage plays its output that much faster or slower (4-point
// cubic interpolation). The amount may change between blocks; the stream goes on without a
// jump. Until the first trim the stream passes through untouched; at zero it keeps whatever
// fraction of a frame earlier trims left it at.

#include <functional>
#include <vector>

namespace mxmidi {

class FineTrim {
public:
    // Fills `frames` frames of the stream being trimmed.
    using Source = std::function<void(float* left, float* right, int frames)>;

    // Positive cents play higher. Takes effect with the next block.
    void setCents(double cents);
    double cents() const { return cents_; }

    // `frames` trimmed frames, pulling from `source` what they need.
    void process(float* left, float* right, int frames, const Source& source);

private:
    void fill(std::size_t needed, const Source& source);

    double cents_ = 0.0;
    double step_ = 1.0;  // input frames per output frame
    // Input not yet consumed, from the frame before the one under position_.
    std::vector<float> left_{0.0f}, right_{0.0f};
    double position_ = 1.0;  // of the next output frame, in frames from the start of left_
};

}  // namespace mxmidi
