// Any bytes as the music file, through the sound loader the show calls; the
// sample is freed again by closing the sound system.
#include <cstddef>
#include <cstdint>

#include "platform/fmod/fmod.h"
#include "platform/fmod/host.h"
#include "tests/fuzz/mem_file.h"

using vt::fuzz::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vt::fuzz::MemFile file("music");
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, file.Write(data, size), FSOUND_LOOP_OFF, 0);
    if (sample) {
        const auto& pcm = vt::fmod::DecodedSamples();
        if (pcm.empty() || pcm.size() % 2 != 0) Fail("decoded samples are not whole stereo frames");
        if (vt::fmod::DecodedRate() <= 0) Fail("no sample rate");
    }
    FSOUND_Close();
    return 0;
}
