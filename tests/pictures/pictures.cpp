// vt_pictures: the picture-regression test's own program.
//
//   vt_pictures capture-args TIMES FRAMES
//       the capture tool's arguments for the times listed, one a line
//   vt_pictures compare TIMES FRAMES REFERENCE REPORT
//       reduces each captured frame to a thumbnail and compares it with the
//       reference; differences go to REPORT as side-by-side pictures
//   vt_pictures update TIMES FRAMES REFERENCE SHEET
//       rewrites the references that changed and puts old | new | difference
//       of each into one contact sheet
//   vt_pictures scaled TIMES FRAMES LARGE
//       reduces each frame rendered at an internal resolution above 1
//       (LARGE) to the size of the same frame rendered at 1 (FRAMES) and
//       compares the two
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pictures/thumbnails.h"

namespace fs = std::filesystem;
using namespace vt::pictures;

namespace {

// The show is captured at this rate; every listed time must be a frame of it.
constexpr int kFps = 10;
constexpr double kShowEnd = 297.0;
// Measured: two captures on one machine are byte for byte the same. Another
// rasterizer (Mesa's softpipe) moves flat and blended areas by at most 4 but
// the thin edges of the star's bead chains by up to 57, on up to 165 pixels;
// a fade start 0.2 s late moves a whole frame by up to 17 and a missing panel
// layer moves ~700 pixels. So: rounding passes, a few edge pixels pass, a
// changed edge of a whole object does not.
constexpr Tolerance kTolerance = {6, 16};
constexpr unsigned kSideScale = 2;

struct Entry {
    std::string label;  // as written in the list: "loading" or the time
    double t = -1.0;    // negative for the loading frame
    std::string file;   // frame and thumbnail file name
};

// "frame_0064.500.png", as the capture tool names its frames.
std::string FrameFileName(double t)
{
    char name[64];
    std::snprintf(name, sizeof(name), "frame_%08.3f.png", t);
    return name;
}

bool ReadTimes(const std::string& path, std::vector<Entry>& entries)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "vt_pictures: cannot read %s\n", path.c_str());
        return false;
    }
    std::set<std::string> files;
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        std::istringstream fields(line);
        std::string token, reason;
        if (!(fields >> token) || token[0] == '#')
            continue;
        std::getline(fields >> std::ws, reason);
        auto fail = [&](const std::string& why) {
            std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), number, why.c_str());
            return false;
        };
        if (reason.empty())
            return fail("every time needs a reason");
        Entry e;
        e.label = token;
        if (token == "loading") {
            e.file = "loading.png";
        } else {
            char* end = nullptr;
            e.t = std::strtod(token.c_str(), &end);
            if (end == token.c_str() || *end != '\0' || !std::isfinite(e.t) || e.t < 0.0 || e.t >= kShowEnd)
                return fail("not a show time: " + token);
            const double frame = e.t * kFps;
            if (std::fabs(frame - std::round(frame)) > 1e-6)
                return fail(token + " is not a frame at " + std::to_string(kFps) + " frames a second");
            e.file = FrameFileName(e.t);
        }
        if (!files.insert(e.file).second)
            return fail("listed twice: " + token);
        entries.push_back(e);
    }
    if (entries.empty()) {
        std::fprintf(stderr, "vt_pictures: no times in %s\n", path.c_str());
        return false;
    }
    return true;
}

bool Thumbnail(const fs::path& frames, const Entry& e, Image& thumb)
{
    Image frame;
    std::string error;
    if (!ReadPng((frames / e.file).string(), frame, error) ||
        !BoxReduce(frame, kThumbWidth, kThumbHeight, thumb, error)) {
        std::fprintf(stderr, "vt_pictures: %s\n", error.c_str());
        return false;
    }
    return true;
}

int CaptureArgs(const std::vector<Entry>& entries, const fs::path& frames)
{
    std::printf("--fps\n%d\n--out\n%s\n", kFps, frames.c_str());
    for (const Entry& e : entries) {
        if (e.t < 0.0)
            std::printf("--loading\n%s\n", (frames / e.file).c_str());
        else
            std::printf("--at\n%s\n", e.label.c_str());
    }
    return 0;
}

void PrintRow(const Entry& e, const Difference& d, const char* verdict)
{
    std::printf("  %-8s max %3d  mean %7.3f  pixels over %2d: %5zu  %s\n", e.label.c_str(), d.maxChannel,
                d.meanChannel, kTolerance.channel, d.pixelsOver, verdict);
}

int Compare(const std::vector<Entry>& entries, const fs::path& frames, const fs::path& reference,
            const fs::path& report)
{
    std::error_code ec;
    fs::remove_all(report, ec);
    fs::create_directories(report / "new", ec);
    std::printf("thumbnails %u x %u; a frame fails with more than %zu pixels off by more than %d in a channel\n",
                kThumbWidth, kThumbHeight, kTolerance.pixelsAllowed, kTolerance.channel);
    std::vector<Image> failedRows;
    std::vector<std::string> failed;
    int worst = 0;
    for (const Entry& e : entries) {
        Image fresh, ref;
        std::string error;
        if (!Thumbnail(frames, e, fresh)) {
            failed.push_back(e.label);
            continue;
        }
        WritePng((report / "new" / e.file).string(), fresh);
        if (!ReadPng((reference / e.file).string(), ref, error)) {
            std::printf("  %-8s no reference (%s)\n", e.label.c_str(), error.c_str());
            failed.push_back(e.label);
            continue;
        }
        const Difference d = Compare(ref, fresh, kTolerance.channel);
        worst = std::max(worst, d.maxChannel);
        if (Passes(d, kTolerance)) {
            PrintRow(e, d, "ok");
            continue;
        }
        PrintRow(e, d, "DIFFERS");
        failed.push_back(e.label);
        const Image row = SideBySide(ref, fresh, e.label, kSideScale);
        WritePng((report / e.file).string(), row);
        failedRows.push_back(row);
    }
    // References nobody asks for any more are left from an older list.
    std::set<std::string> listed;
    for (const Entry& e : entries)
        listed.insert(e.file);
    for (const auto& file : fs::directory_iterator(reference, ec))
        if (file.path().extension() == ".png" && !listed.count(file.path().filename().string()))
            std::printf("note: %s is not in the list (tests/pictures/update.sh removes it)\n",
                        file.path().filename().c_str());

    if (failed.empty()) {
        std::printf("%zu frames match their references (largest channel difference %d)\n", entries.size(), worst);
        return 0;
    }
    std::printf("%zu of %zu frames differ:", failed.size(), entries.size());
    for (const std::string& label : failed)
        std::printf(" %s", label.c_str());
    std::printf("\n");
    if (!failedRows.empty()) {
        WritePng((report / "differences.png").string(), Stack(failedRows));
        std::printf("reference | new | difference x8, one picture a frame and all in %s\n",
                    (report / "differences.png").c_str());
    }
    std::printf("new thumbnails in %s; if the change is meant to alter pictures, run tests/pictures/update.sh\n",
                (report / "new").c_str());
    return 1;
}

int Update(const std::vector<Entry>& entries, const fs::path& frames, const fs::path& reference,
           const fs::path& sheet)
{
    std::error_code ec;
    fs::create_directories(reference, ec);
    std::vector<Image> rows;
    std::vector<Image> thumbs(entries.size());
    for (size_t i = 0; i < entries.size(); i++)
        if (!Thumbnail(frames, entries[i], thumbs[i]))
            return 1;  // nothing written: a failed capture must not become the reference
    int changed = 0, added = 0;
    for (size_t i = 0; i < entries.size(); i++) {
        const Entry& e = entries[i];
        const fs::path path = reference / e.file;
        Image old;
        std::string error;
        const bool had = ReadPng(path.string(), old, error);
        if (had && old.rgb == thumbs[i].rgb && old.width == thumbs[i].width)
            continue;
        if (had) {
            const Difference d = Compare(old, thumbs[i], kTolerance.channel);
            PrintRow(e, d, Passes(d, kTolerance) ? "changed (within tolerance)" : "CHANGED");
            changed++;
        } else {
            std::printf("  %-8s new\n", e.label.c_str());
            old = Image(thumbs[i].width, thumbs[i].height);
            added++;
        }
        rows.push_back(SideBySide(old, thumbs[i], e.label, kSideScale));
        if (!WritePng(path.string(), thumbs[i])) {
            std::fprintf(stderr, "vt_pictures: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    std::set<std::string> listed;
    for (const Entry& e : entries)
        listed.insert(e.file);
    int removed = 0;
    for (const auto& file : fs::directory_iterator(reference, ec)) {
        if (file.path().extension() == ".png" && !listed.count(file.path().filename().string())) {
            std::printf("  removed %s (no longer listed)\n", file.path().filename().c_str());
            fs::remove(file.path(), ec);
            removed++;
        }
    }
    std::printf("%d changed, %d new, %d removed, %zu unchanged\n", changed, added, removed,
                entries.size() - changed - added);
    fs::remove(sheet, ec);
    if (!rows.empty()) {
        WritePng(sheet.string(), Stack(rows));
        std::printf("old | new | difference x8 for each: %s\n", sheet.c_str());
    }
    return 0;
}

// Within a frame, a 2x picture filtered down differs from the 1x one where
// edges and texture detail are sampled finer: object edges antialiased,
// minified textures sampled from sharper levels, thin bright lines (the
// star's bead chains, caption strokes) spread over their neighbours. Flat
// and smoothly shaded areas round the same. So a frame passes when its mean
// channel difference stays small and few pixels move far; a missing or
// misplaced layer, a shifted quad or a wrong scale fails both at once.
struct ScaledTolerance {
    double meanChannel;  // mean absolute channel difference over the frame
    int channel;         // a pixel counts as far off beyond this
    double farShare;     // share of pixels allowed to be far off
};
constexpr ScaledTolerance kScaledTolerance = {6.0, 48, 0.015};

int CompareScaled(const std::vector<Entry>& entries, const fs::path& frames, const fs::path& large)
{
    std::printf("a frame fails with a mean channel difference over %.1f or more than %.1f%% of its pixels "
                "off by more than %d\n",
                kScaledTolerance.meanChannel, 100.0 * kScaledTolerance.farShare, kScaledTolerance.channel);
    int failed = 0;
    double worstMean = 0.0, worstShare = 0.0;
    for (const Entry& e : entries) {
        Image one, big, reduced;
        std::string error;
        if (!ReadPng((frames / e.file).string(), one, error) || !ReadPng((large / e.file).string(), big, error) ||
            !BoxReduce(big, one.width, one.height, reduced, error)) {
            std::printf("  %-8s %s\n", e.label.c_str(), error.c_str());
            failed++;
            continue;
        }
        const Difference d = Compare(one, reduced, kScaledTolerance.channel);
        const double share = double(d.pixelsOver) / (double(one.width) * one.height);
        const bool ok = d.meanChannel <= kScaledTolerance.meanChannel && share <= kScaledTolerance.farShare;
        worstMean = std::max(worstMean, d.meanChannel);
        worstShare = std::max(worstShare, share);
        std::printf("  %-8s %u x %u from %u x %u  mean %6.3f  max %3d  over %d: %6.3f%%  %s\n", e.label.c_str(),
                    one.width, one.height, big.width, big.height, d.meanChannel, d.maxChannel,
                    kScaledTolerance.channel, 100.0 * share, ok ? "ok" : "DIFFERS");
        failed += ok ? 0 : 1;
    }
    std::printf("%zu frames, %d differ; largest mean %.3f, largest share far off %.3f%%\n", entries.size(), failed,
                worstMean, 100.0 * worstShare);
    return failed ? 1 : 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: vt_pictures capture-args TIMES FRAMES\n"
                 "       vt_pictures compare TIMES FRAMES REFERENCE REPORT\n"
                 "       vt_pictures update TIMES FRAMES REFERENCE SHEET\n"
                 "       vt_pictures scaled TIMES FRAMES LARGE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string command = argv[1];
    std::vector<Entry> entries;
    if (!ReadTimes(argv[2], entries))
        return 2;
    const fs::path frames = fs::absolute(argv[3]);
    if (command == "capture-args" && argc == 4)
        return CaptureArgs(entries, frames);
    if (command == "compare" && argc == 6)
        return Compare(entries, frames, argv[4], argv[5]);
    if (command == "update" && argc == 6)
        return Update(entries, frames, argv[4], argv[5]);
    if (command == "scaled" && argc == 5)
        return CompareScaled(entries, frames, fs::absolute(argv[4]));
    return Usage();
}
