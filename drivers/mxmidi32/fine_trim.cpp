#include "fine_trim.h"

#include <cmath>

namespace mxmidi {
namespace {

// Catmull-Rom interpolation between p1 (t = 0) and p2 (t = 1).
inline float cubic(float p0, float p1, float p2, float p3, float t) {
    return p1 +
           0.5f * t *
               (p2 - p0 +
                t * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3 + t * (3.0f * (p1 - p2) + p3 - p0)));
}

}  // namespace

void FineTrim::setCents(double cents) {
    cents_ = cents;
    step_ = std::exp2(cents / 1200.0);
}

void FineTrim::fill(std::size_t needed, const Source& source) {
    if (left_.size() >= needed) return;
    const std::size_t have = left_.size();
    left_.resize(needed);
    right_.resize(needed);
    source(left_.data() + have, right_.data() + have, static_cast<int>(needed - have));
}

void FineTrim::process(float* left, float* right, int frames, const Source& source) {
    if (frames <= 0) return;
    // Frames up to floor(last position) + 2 are read.
    const double last = position_ + step_ * (frames - 1);
    fill(static_cast<std::size_t>(std::floor(last)) + 3, source);
    for (int i = 0; i < frames; ++i) {
        const double p = position_ + step_ * i;
        const auto k = static_cast<std::size_t>(p);
        const auto t = static_cast<float>(p - static_cast<double>(k));
        if (t == 0.0f) {
            left[i] = left_[k];
            right[i] = right_[k];
        } else {
            left[i] = cubic(left_[k - 1], left_[k], left_[k + 1], left_[k + 2], t);
            right[i] = cubic(right_[k - 1], right_[k], right_[k + 1], right_[k + 2], t);
        }
    }
    // Keep one frame before the next position's floor.
    position_ += step_ * frames;
    const auto keepFrom = static_cast<std::size_t>(position_) - 1;
    left_.erase(left_.begin(), left_.begin() + static_cast<long>(keepFrom));
    right_.erase(right_.begin(), right_.begin() + static_cast<long>(keepFrom));
    position_ -= static_cast<double>(keepFrom);
}

}  // namespace mxmidi
