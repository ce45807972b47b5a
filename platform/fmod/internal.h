// Pieces of the sound layer shared between its sources (not for other layers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vt::fmod::detail {

// A whole decoded file: interleaved stereo 16-bit frames at `rate` Hz.
struct Pcm {
    std::vector<int16_t> stereo;
    int rate = 0;
};

// Decodes a whole MP3 file (gapless, mono doubled to stereo). False, quietly,
// when the file is missing or holds no decodable audio, when decoding fails
// partway, or when the length differs from the one its Info tag states (a
// cut or damaged file).
bool DecodeMp3(const std::string& path, Pcm* out);

}  // namespace vt::fmod::detail
