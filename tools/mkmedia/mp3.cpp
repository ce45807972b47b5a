#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "music.h"
#include "writers.h"

namespace mk {

namespace {

struct LameCloser {
    void operator()(lame_global_flags* g) const { lame_close(g); }
};
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

void writeMp3(const std::string& path, const std::vector<float>& interleaved)
{
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) throw std::runtime_error("LAME failed to start");
    lame_set_in_samplerate(lame.get(), kSampleRate);
    lame_set_out_samplerate(lame.get(), kSampleRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_brate(lame.get(), 192);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_quality(lame.get(), 5);
    lame_set_bWriteVbrTag(lame.get(), 1);  // the tag frame carries delay and padding
    if (lame_init_params(lame.get()) < 0) throw std::runtime_error("LAME rejected its settings");

    makeParentDirs(path);
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "wb+"));
    if (!f) throw std::runtime_error("cannot write " + path);

    const int frames = static_cast<int>(interleaved.size() / 2);
    constexpr int kChunk = 8192;
    std::vector<unsigned char> buf(static_cast<size_t>(1.25 * kChunk + 7200));
    std::vector<float> left(kChunk), right(kChunk);
    for (int pos = 0; pos < frames; pos += kChunk) {
        const int n = std::min(kChunk, frames - pos);
        for (int i = 0; i < n; ++i) {
            left[i] = interleaved[2 * (pos + i)];
            right[i] = interleaved[2 * (pos + i) + 1];
        }
        const int bytes = lame_encode_buffer_ieee_float(lame.get(), left.data(), right.data(), n, buf.data(),
                                                        static_cast<int>(buf.size()));
        if (bytes < 0) throw std::runtime_error("LAME failed to encode");
        std::fwrite(buf.data(), 1, static_cast<size_t>(bytes), f.get());
    }
    const int tail = lame_encode_flush(lame.get(), buf.data(), static_cast<int>(buf.size()));
    if (tail < 0) throw std::runtime_error("LAME failed to flush");
    std::fwrite(buf.data(), 1, static_cast<size_t>(tail), f.get());

    // The first frame was reserved for the tag: fill it in now.
    std::vector<unsigned char> tag(2880);
    const size_t tagBytes = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
    if (tagBytes > 0 && tagBytes <= tag.size()) {
        std::fseek(f.get(), 0, SEEK_SET);
        std::fwrite(tag.data(), 1, tagBytes, f.get());
    }
    if (std::fflush(f.get()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace mk
