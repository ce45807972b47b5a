// MP3 decoding with libmpg123, 16-bit stereo at the file's own rate, encoder
// delay and padding removed (gapless). The file stays in memory as it was
// read; loading decodes it once to check it, and playing decodes it again
// as it goes, keeping only the most recent frames.
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/fmod/internal.h"

namespace vt::fmod::detail {

void Mp3Stream::HandleDeleter::operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
}

namespace {

// The file's bytes as mpg123 reads them: like a file, a position past the
// end reads nothing.
struct Reader {
    const std::vector<unsigned char>* bytes = nullptr;
    off_t pos = 0;
};

ssize_t ReadBytes(void* handle, void* out, size_t count) {
    auto* r = static_cast<Reader*>(handle);
    const off_t size = static_cast<off_t>(r->bytes->size());
    if (r->pos >= size) return 0;
    const size_t n = std::min(count, static_cast<size_t>(size - r->pos));
    std::copy_n(r->bytes->data() + r->pos, n, static_cast<unsigned char*>(out));
    r->pos += static_cast<off_t>(n);
    return static_cast<ssize_t>(n);
}

off_t SeekBytes(void* handle, off_t offset, int whence) {
    auto* r = static_cast<Reader*>(handle);
    const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? r->pos : static_cast<off_t>(r->bytes->size());
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    if (base + offset < 0) return -1;
    r->pos = base + offset;
    return r->pos;
}

void DeleteReader(void* handle) { delete static_cast<Reader*>(handle); }

Mp3Stream::Handle OpenDecoder(const std::vector<unsigned char>& bytes) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });  // a no-op on recent libraries
    int err = MPG123_OK;
    Mp3Stream::Handle h(mpg123_new(nullptr, &err));
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
    if (mpg123_replace_reader_handle(h.get(), ReadBytes, SeekBytes, DeleteReader) != MPG123_OK) return nullptr;
    auto* reader = new Reader{&bytes, 0};
    if (mpg123_open_handle(h.get(), reader) != MPG123_OK) {
        delete reader;  // not taken over when opening fails
        return nullptr;
    }
    return h;
}

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<unsigned char> bytes;
    unsigned char chunk[64 * 1024];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) return false;
    *out = std::move(bytes);
    return true;
}

}  // namespace

bool LoadMp3(const std::string& path, Music* out) {
    Music music;
    if (!ReadFileBytes(path, &music.file)) return false;
    Mp3Stream::Handle h = OpenDecoder(music.file);
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

    // The whole file once, counting frames: what plays later decodes the same way.
    size_t samples = 0;
    std::vector<unsigned char> chunk(64 * 1024);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(h.get(), chunk.data(), chunk.size(), &done);
        samples += done / sizeof(int16_t);
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
    music.frames = samples / 2;  // whole frames only
    if (music.frames == 0) return false;
    if (expected > 0 && static_cast<off_t>(music.frames) != expected) return false;
    music.rate = static_cast<int>(rate);
    *out = std::move(music);
    return true;
}

Mp3Stream::Mp3Stream(const Music& music) : music_(&music) {}
Mp3Stream::~Mp3Stream() = default;

void Mp3Stream::Restart() {
    handle_ = OpenDecoder(music_->file);
    history_.clear();
    historyStart_ = 0;
    ended_ = !handle_;
}

bool Mp3Stream::DecodeMore() {
    if (ended_) return false;
    unsigned char chunk[16 * 1024];
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(handle_.get(), chunk, sizeof chunk, &done);
        const auto* p = reinterpret_cast<const int16_t*>(chunk);
        history_.insert(history_.end(), p, p + done / sizeof(int16_t));
        if (r == MPG123_NEW_FORMAT && done == 0) continue;
        // Loading checked the whole file: any other end is its end.
        if (r != MPG123_OK && r != MPG123_NEW_FORMAT) ended_ = true;
        return done > 0;
    }
}

void Mp3Stream::Read(int64_t first, size_t count, int16_t* stereo) {
    std::fill(stereo, stereo + 2 * count, int16_t{0});
    const int64_t total = static_cast<int64_t>(music_->frames);
    const int64_t begin = std::max<int64_t>(first, 0);
    const int64_t end = std::min<int64_t>(first + static_cast<int64_t>(count), total);
    if (begin >= end) return;
    if (!handle_ || begin < historyStart_) Restart();  // behind what is kept: from the start again
    for (;;) {
        // Frames well before this read will not be asked for again.
        const int64_t held = static_cast<int64_t>(history_.size() / 2);
        const int64_t drop = std::min(begin - kBacklogFrames - historyStart_, held);
        if (drop > kBacklogFrames || drop == held) {
            history_.erase(history_.begin(), history_.begin() + 2 * std::max<int64_t>(drop, 0));
            historyStart_ += std::max<int64_t>(drop, 0);
        }
        if (historyStart_ + static_cast<int64_t>(history_.size() / 2) >= end || !DecodeMore()) break;
    }
    const int64_t have = std::min<int64_t>(end, historyStart_ + static_cast<int64_t>(history_.size() / 2));
    if (have > begin)
        std::copy_n(history_.data() + 2 * (begin - historyStart_), 2 * (have - begin), stereo + 2 * (begin - first));
}

}  // namespace vt::fmod::detail
