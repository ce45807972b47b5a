// mkmedia: writes the show's whole media set into a folder.
//
//   mkmedia OUT                 images, star mesh and music into OUT
//   mkmedia --images-only OUT   everything but the music (quick look)
//   mkmedia --sheet FILE.png    a contact sheet of every image
//   mkmedia --icons OUT         the program's icon at every size, OUT/hicolor/...
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "media_set.h"
#include "music.h"
#include "sheet.h"
#include "star_mesh.h"
#include "writers.h"

namespace {

void writeImages(const std::string& out, mk::Fonts& fonts, const std::vector<mk::ImageSpec>& set)
{
    for (const mk::ImageSpec& item : set) {
        const mk::Image img = mk::renderImage(item, fonts);
        const std::string path = out + "/" + item.path;
        if (item.format == mk::Format::Jpeg) mk::writeJpeg(path, img, item.width <= 32 ? 100 : 92);
        else mk::writePng(path, img, item.format == mk::Format::PngAlpha);
    }
}

void writeStar(const std::string& out)
{
    const std::string path = out + "/data/meshes/scene08/star.x";
    mk::makeParentDirs(path);
    std::ofstream f(path, std::ios::binary);
    f << mk::toXFile(mk::makeStar());
    if (!f) throw std::runtime_error("cannot write " + path);
}

double secondsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int usage()
{
    std::fprintf(stderr, "usage: mkmedia [--images-only] OUT | mkmedia --sheet FILE.png | mkmedia --icons OUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 3 && std::strcmp(argv[1], "--sheet") == 0) {
            mk::Fonts fonts;
            mk::writeContactSheet(argv[2], mk::imageSet(), fonts);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], "--icons") == 0) {
            mk::Fonts fonts;
            writeImages(argv[2], fonts, mk::iconSet());
            return 0;
        }
        bool music = true;
        int arg = 1;
        if (argc == 3 && std::strcmp(argv[1], "--images-only") == 0) {
            music = false;
            arg = 2;
        } else if (argc != 2 || argv[1][0] == '-') {
            return usage();
        }
        const std::string out = argv[arg];
        const auto t0 = std::chrono::steady_clock::now();

        // The music and the images share nothing: make them side by side.
        std::exception_ptr musicError;
        double musicTime = 0, synthTime = 0;
        std::thread musicThread;
        if (music) {
            musicThread = std::thread([&] {
                try {
                    const auto tm = std::chrono::steady_clock::now();
                    mk::makeParentDirs(out + "/intro.mp3");
                    const std::vector<float> pcm = mk::renderMusic();
                    synthTime = secondsSince(tm);
                    mk::writeMp3(out + "/intro.mp3", pcm);
                    musicTime = secondsSince(tm);
                } catch (...) {
                    musicError = std::current_exception();
                }
            });
        }
        std::exception_ptr imageError;
        try {
            mk::Fonts fonts;
            writeImages(out, fonts, mk::imageSet());
            writeStar(out);
        } catch (...) {
            imageError = std::current_exception();
        }
        const double imageTime = secondsSince(t0);
        if (musicThread.joinable()) musicThread.join();
        if (imageError) std::rethrow_exception(imageError);
        if (musicError) std::rethrow_exception(musicError);
        std::printf("mkmedia: images and mesh %.1f s, music %.1f s (synthesis %.1f s), total %.1f s -> %s\n",
                    imageTime, musicTime, synthTime, secondsSince(t0), out.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkmedia: %s\n", e.what());
        return 1;
    }
}
