// The spectrum analyser's transform: a 1024-point real FFT (kissfft) over
// the most recent frames, mixed to mono and Hann-windowed.
#include <kiss_fftr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"

namespace vt::fmod {
namespace {

constexpr int kSize = 2 * FSOUND_SPECTRUM_BANDS;  // 1024-point transform

class Analyser {
public:
    Analyser() : cfg_(kiss_fftr_alloc(kSize, 0, nullptr, nullptr)) {
        // Periodic Hann window: w[n] = 0.5 * (1 - cos(2 pi n / N)).
        for (int n = 0; n < kSize; ++n)
            window_[n] = static_cast<float>(0.5 * (1.0 - std::cos(2.0 * M_PI * n / kSize)));
    }

    void Run(const int16_t* stereo, size_t frames, size_t endFrame, float* bands) {
        // Frame endFrame - N + n, mono = (L + R) / 65536; outside the data it is silence.
        const long long first = static_cast<long long>(endFrame) - kSize;
        for (int n = 0; n < kSize; ++n) {
            const long long f = first + n;
            float mono = 0.0f;
            if (stereo && f >= 0 && static_cast<size_t>(f) < frames)
                mono = (static_cast<float>(stereo[2 * f]) + stereo[2 * f + 1]) / 65536.0f;
            in_[n] = mono * window_[n];
        }
        kiss_fftr(cfg_.get(), in_.data(), out_.data());
        // |X[k]| * 4 / N: a full-scale sine centred on band k reads 1 there
        // (N/2 for the sine times the window's mean of 1/2). DC has no mirror
        // half, so it takes 2 / N.
        for (int k = 0; k < FSOUND_SPECTRUM_BANDS; ++k) {
            const float mag = std::hypot(out_[k].r, out_[k].i) * (k == 0 ? 2.0f : 4.0f) / kSize;
            bands[k] = std::clamp(mag, 0.0f, 1.0f);
        }
    }

private:
    struct CfgDeleter {
        void operator()(kiss_fftr_cfg c) const { kiss_fftr_free(c); }
    };
    std::unique_ptr<kiss_fftr_state, CfgDeleter> cfg_;
    std::array<float, kSize> window_{};
    std::array<float, kSize> in_{};
    std::array<kiss_fft_cpx, kSize / 2 + 1> out_{};
};

}  // namespace

void ComputeSpectrum(const int16_t* stereo, size_t frames, size_t endFrame, float* bands512) {
    if (!bands512) return;
    thread_local Analyser analyser;  // keeps its FFT plan and scratch per thread
    analyser.Run(stereo, frames, endFrame, bands512);
}

}  // namespace vt::fmod
