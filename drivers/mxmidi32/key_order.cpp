#include "key_order.h"

#include <algorithm>
#include <cstdlib>

namespace mxmidi {
namespace {

// How far a concert pitch moves a reference note: 400 Hz to 480 Hz is -165 to +151 cents, played
// as two semitones and a fraction at most.
constexpr int kConcertPitchSemitones = 2;
// The middle of a six-string guitar's open strings (E2 to E4).
constexpr int kMiddleKey = 52;

bool nearString(int key) {
    for (int s : stringKeys()) {
        if (std::abs(key - s) <= kConcertPitchSemitones) return true;
    }
    return false;
}

}  // namespace

const std::vector<int>& stringKeys() {
    // Six- and seven-string guitars in their standard, dropped and lowered tunings, four- and
    // five-string basses, ukuleles, the cavaquinho, mandolin, banjo, violin, viola and cello.
    static const std::vector<int> keys = {23, 26, 28, 33, 35, 36, 38, 39, 40, 43,
                                          44, 45, 48, 49, 50, 54, 55, 57, 58, 59,
                                          60, 62, 63, 64, 67, 69, 71, 74, 76};
    return keys;
}

const std::vector<int>& measuringOrder() {
    static const std::vector<int> order = [] {
        const auto group = [](int key) {
            if (std::find(stringKeys().begin(), stringKeys().end(), key) != stringKeys().end())
                return 0;
            return nearString(key) ? 1 : 2;
        };
        std::vector<int> keys;
        for (int k = kFirstMeasuredKey; k <= kLastMeasuredKey; ++k) keys.push_back(k);
        std::stable_sort(keys.begin(), keys.end(), [&](int a, int b) {
            if (group(a) != group(b)) return group(a) < group(b);
            return std::abs(a - kMiddleKey) < std::abs(b - kMiddleKey);
        });
        return keys;
    }();
    return order;
}

bool stringOrNearKey(int key) {
    return key >= kFirstMeasuredKey && key <= kLastMeasuredKey && nearString(key);
}

}  // namespace mxmidi
