// MP3 decoding with libmpg123: the whole file into memory, 16-bit stereo at
// the file's own rate, encoder delay and padding removed (gapless).
#include <mpg123.h>

#include <memory>
#include <mutex>

#include "platform/fmod/internal.h"

namespace vt::fmod::detail {
namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

Handle OpenDecoder(const std::string& path) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });  // a no-op on recent libraries
    int err = MPG123_OK;
    Handle h(mpg123_new(nullptr, &err));
    if (!h) return nullptr;
    // Quiet: a bad file is the caller's silent "null", not a console message.
    // ID3v2 tags are skipped unread: parsing one means allocating the size
    // its header claims (up to 256 MB) before finding that the file is short.
    mpg123_param(h.get(), MPG123_ADD_FLAGS,
                 MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_SKIP_ID3V2, 0);
    // Accept every rate, but only 16-bit stereo output.
    mpg123_format_none(h.get());
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(h.get(), rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h.get(), path.c_str()) != MPG123_OK) return nullptr;
    return h;
}

}  // namespace

bool DecodeMp3(const std::string& path, Pcm* out) {
    Handle h = OpenDecoder(path);
    if (!h) return false;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h.get(), &rate, &channels, &encoding) != MPG123_OK || channels != 2 ||
        encoding != MPG123_ENC_SIGNED_16 || rate <= 0)
        return false;

    // An encoder's Info tag in front of the music states its exact length
    // (the encoder delay comes from the same tag, so a known delay means the
    // length was read, not estimated). Decoding to any other length means the
    // file was cut or damaged; without the tag nothing tells.
    long delay = -1;
    double unused = 0.0;
    off_t expected = -1;
    if (mpg123_getstate(h.get(), MPG123_ENC_DELAY, &delay, &unused) == MPG123_OK && delay >= 0)
        expected = mpg123_length(h.get());

    Pcm pcm;
    pcm.rate = static_cast<int>(rate);
    if (mpg123_scan(h.get()) == MPG123_OK) {
        const off_t frames = mpg123_length(h.get());
        if (frames > 0) pcm.stereo.reserve(static_cast<size_t>(frames) * 2);
    }
    std::vector<unsigned char> chunk(64 * 1024);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(h.get(), chunk.data(), chunk.size(), &done);
        const size_t samples = done / sizeof(int16_t);
        const auto* p = reinterpret_cast<const int16_t*>(chunk.data());
        pcm.stereo.insert(pcm.stereo.end(), p, p + samples);
        if (r == MPG123_DONE) break;
        if (r == MPG123_NEW_FORMAT) {
            // A stream that changes rate midway is not something we can play.
            long newRate = 0;
            mpg123_getformat(h.get(), &newRate, &channels, &encoding);
            if (newRate != rate) return false;
            continue;
        }
        if (r != MPG123_OK) return false;  // damaged: no music, as if the file were missing
    }
    pcm.stereo.resize(pcm.stereo.size() & ~size_t{1});  // whole frames only
    if (pcm.stereo.empty()) return false;
    if (expected > 0 && static_cast<off_t>(pcm.stereo.size() / 2) != expected) return false;
    *out = std::move(pcm);
    return true;
}

}  // namespace vt::fmod::detail
