// vt_web_frames: compares frames the page drew in a browser with the capture
// tool's frames of the same show times.
//
//   vt_web_frames NATIVE WEB REPORT FILE...
//
// Each FILE (a frame's file name, e.g. frame_0080.000.png) is read from both
// folders. A web frame at a whole multiple of the native size (a display
// pixel ratio above 1) is box-filtered down first. A frame fails on a mean
// channel difference or a share of far-off pixels over the tolerance; for
// each failure REPORT gets native | web | difference x8, and the figures of
// every frame are printed either way.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/pictures/thumbnails.h"

namespace fs = std::filesystem;
using namespace vt::pictures;

namespace {

// The browser draws through WebGL 2 on SwiftShader, the native build through
// desktop OpenGL on llvmpipe: the same geometry and blending, but filtering
// and edge coverage round differently. Measured on the six frames of
// tests/web/times.txt: mean channel difference at most 0.47, a few single
// pixels on the edges of thin lines and beads off by up to 238, at most
// 0.009 % of a frame off by more than 48. A missing layer, a shifted quad, a
// fade a frame early or late, swapped channels or a picture the compositor
// resampled moves the mean or the far-off share well past these.
struct Tolerance {
    double meanChannel;  // mean absolute channel difference over the frame
    int channel;         // a pixel counts as far off beyond this
    double farShare;     // share of pixels allowed to be far off
};
constexpr Tolerance kTolerance = {1.5, 48, 0.001};

// "frame_0080.000.png" -> "80.000", for the picture's label.
std::string Label(const std::string& file)
{
    std::string t = file;
    if (t.rfind("frame_", 0) == 0)
        t = t.substr(6);
    if (t.size() > 4 && t.compare(t.size() - 4, 4, ".png") == 0)
        t.resize(t.size() - 4);
    while (t.size() > 1 && t[0] == '0' && t[1] != '.')
        t.erase(0, 1);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: vt_web_frames NATIVE WEB REPORT FILE...\n");
        return 2;
    }
    const fs::path native = argv[1], web = argv[2], report = argv[3];
    std::error_code ec;
    fs::create_directories(report, ec);
    std::printf("a frame fails with a mean channel difference over %.1f or more than %.1f%% of its pixels off by "
                "more than %d\n",
                kTolerance.meanChannel, 100.0 * kTolerance.farShare, kTolerance.channel);
    int failed = 0;
    double worstMean = 0.0, worstShare = 0.0;
    int worstChannel = 0;
    for (int i = 4; i < argc; i++) {
        const std::string file = argv[i];
        const std::string label = Label(file);
        Image reference, drawn, reduced;
        std::string error;
        if (!ReadPng((native / file).string(), reference, error) || !ReadPng((web / file).string(), drawn, error)) {
            std::printf("  %-8s %s\n", label.c_str(), error.c_str());
            failed++;
            continue;
        }
        if (drawn.width != reference.width || drawn.height != reference.height) {
            if (!BoxReduce(drawn, reference.width, reference.height, reduced, error)) {
                std::printf("  %-8s web %u x %u, native %u x %u: %s\n", label.c_str(), drawn.width, drawn.height,
                            reference.width, reference.height, error.c_str());
                failed++;
                continue;
            }
        } else {
            reduced = drawn;
        }
        const Difference d = Compare(reference, reduced, kTolerance.channel);
        const double share = double(d.pixelsOver) / (double(reference.width) * reference.height);
        const bool ok = d.meanChannel <= kTolerance.meanChannel && share <= kTolerance.farShare;
        worstMean = std::max(worstMean, d.meanChannel);
        worstShare = std::max(worstShare, share);
        worstChannel = std::max(worstChannel, d.maxChannel);
        std::printf("  %-8s %u x %u from %u x %u  mean %6.3f  max %3d  over %d: %6.3f%%  %s\n", label.c_str(),
                    reference.width, reference.height, drawn.width, drawn.height, d.meanChannel, d.maxChannel,
                    kTolerance.channel, 100.0 * share, ok ? "ok" : "DIFFERS");
        if (!ok) {
            failed++;
            const fs::path picture = report / ("native_web_diff_" + file);
            WritePng(picture.string(), SideBySide(reference, reduced, label, 1));
            std::printf("           native | web | difference x8: %s\n", picture.c_str());
        }
    }
    std::printf("%d frames, %d differ; largest mean %.3f, largest share far off %.3f%%, largest channel %d\n",
                argc - 4, failed, worstMean, 100.0 * worstShare, worstChannel);
    return failed ? 1 : 0;
}
