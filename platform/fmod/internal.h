// Pieces of the sound layer shared between its sources (not for other layers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct mpg123_handle_struct;

namespace vt::fmod::detail {

// A loaded MP3 file: its bytes, and the rate and length one whole decode
// found (interleaved stereo 16-bit frames at `rate` Hz).
struct Music {
    std::vector<unsigned char> file;
    int rate = 0;
    size_t frames = 0;
};

// Reads a whole MP3 file and decodes it once (gapless, mono doubled to
// stereo) to check it. False, quietly, when the file is missing or holds no
// decodable audio, when decoding fails partway, or when the length differs
// from the one its Info tag states (a cut or damaged file).
bool LoadMp3(const std::string& path, Music* out);

// Decodes a Music forward as frames are asked for, keeping the most recent
// ones; asking for frames before those kept decodes from the start again.
// The Music must outlive the stream.
class Mp3Stream {
public:
    explicit Mp3Stream(const Music& music);
    ~Mp3Stream();
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;

    // Frames [first, first + count) into `stereo` (2 * count values); frames
    // outside the music are silence.
    void Read(int64_t first, size_t count, int16_t* stereo);

    struct HandleDeleter {
        void operator()(mpg123_handle_struct* h) const;
    };
    using Handle = std::unique_ptr<mpg123_handle_struct, HandleDeleter>;

private:
    // Frames kept before the first one asked for: readers a little behind
    // (the spectrum behind the sound device) find them without decoding.
    static constexpr int64_t kBacklogFrames = 16384;
    void Restart();
    bool DecodeMore();  // false at the end

    const Music* music_;
    Handle handle_;
    std::vector<int16_t> history_;  // decoded frames from historyStart_ on
    int64_t historyStart_ = 0;
    bool ended_ = false;
};

}  // namespace vt::fmod::detail
