// Play position from stamped blocks (see block_clock.h).
#include "platform/fmod/block_clock.h"

#include <algorithm>
#include <cmath>

namespace vt::fmod {

void BlockClock::Reset() {
    stamps_.clear();
    handedOver_ = 0;
    anchored_ = false;
    origin_ = 0.0;
}

int64_t BlockClock::Next(double time, int frames, int rate) {
    if (!anchored_) {
        anchored_ = true;
        origin_ = time;
    } else if (rate > 0) {
        const auto due = static_cast<int64_t>(std::floor((time - origin_) * rate + 0.5));
        handedOver_ = std::max(handedOver_, due);
    }
    if (stamps_.size() == kStamps) stamps_.erase(stamps_.begin());
    stamps_.push_back({time, handedOver_});
    const int64_t first = handedOver_;
    handedOver_ += std::max(frames, 0);
    return first;
}

int64_t BlockClock::Position(double now, int rate) const {
    if (rate <= 0) return 0;
    const Stamp* at = nullptr;
    for (const Stamp& s : stamps_) {
        if (s.time <= now) at = &s;
    }
    if (!at) return 0;
    const int64_t frames = at->frame + static_cast<int64_t>(std::floor((now - at->time) * rate));
    return std::clamp<int64_t>(frames, 0, handedOver_);
}

}  // namespace vt::fmod
