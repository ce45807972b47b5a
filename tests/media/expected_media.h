// The media set the show loads, as the show names it, and where the build
// generated it. Sizes are the file sizes the generator promises: powers of
// two chosen for the size each image is drawn at.
#pragma once

#include <string>
#include <vector>

namespace vt::media_test {

inline std::string MediaRoot() { return VT_BINARY_DIR "/media"; }

enum class Kind { Jpeg, Png, PngAlpha };

// How an image wraps when the show draws it: a tiled or scrolled texture
// must join its own edges on the axes it repeats along.
enum Wrap { kNoWrap = 0, kWrapU = 1, kWrapV = 2, kWrapUV = 3 };

struct Expected {
    const char* path;  // under MediaRoot(), '/' separated
    Kind kind;
    int width, height;
    int wrap;
};

inline const std::vector<Expected>& ExpectedImages()
{
    static const std::vector<Expected> all = {
        {"data/bitmaps/loadingscreen.jpg", Kind::Jpeg, 1024, 1024, kNoWrap},
        {"data/bitmaps/white.jpg", Kind::Jpeg, 32, 32, kNoWrap},
        {"data/bitmaps/black.jpg", Kind::Jpeg, 32, 32, kNoWrap},
        {"data/bitmaps/scene01/iamfeeling.png", Kind::PngAlpha, 1024, 128, kNoWrap},
        {"data/bitmaps/scene01/inaviolated.png", Kind::PngAlpha, 1024, 128, kNoWrap},
        {"data/bitmaps/scene01/icannolonger.png", Kind::PngAlpha, 1024, 128, kNoWrap},
        {"data/bitmaps/scene01/thethings.png", Kind::PngAlpha, 1024, 128, kNoWrap},
        {"data/bitmaps/scene01/ihavevantorel.png", Kind::PngAlpha, 1024, 128, kNoWrap},
        {"data/bitmaps/scene01/mirk.png", Kind::PngAlpha, 512, 64, kNoWrap},
        {"data/bitmaps/scene01/presents.png", Kind::PngAlpha, 512, 64, kNoWrap},
        {"data/bitmaps/scene01/ourfirst.png", Kind::PngAlpha, 512, 64, kNoWrap},
        {"data/bitmaps/scene01/demoever.png", Kind::PngAlpha, 512, 64, kNoWrap},
        {"data/bitmaps/scene01/logo.png", Kind::PngAlpha, 1024, 1024, kNoWrap},
        {"data/bitmaps/scene01/splash.jpg", Kind::Jpeg, 1024, 256, kNoWrap},
        {"data/bitmaps/scene01/shadow.png", Kind::PngAlpha, 512, 256, kWrapU},
        {"data/bitmaps/scene01/bluewater.jpg", Kind::Jpeg, 512, 512, kNoWrap},
        {"data/bitmaps/scene01/firefly.png", Kind::PngAlpha, 64, 64, kNoWrap},
        {"data/bitmaps/scene02/whatif.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/wereblaim.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/humansare.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/psychologically.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/thesun.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/theearth.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/willblaim.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/usalone.png", Kind::PngAlpha, 1024, 64, kNoWrap},
        {"data/bitmaps/scene02/bluewater8.jpg", Kind::Jpeg, 256, 256, kWrapUV},
        {"data/bitmaps/scene02/plasma.png", Kind::PngAlpha, 256, 256, kWrapUV},
        {"data/bitmaps/scene02/plasma2.png", Kind::PngAlpha, 256, 256, kWrapUV},
        {"data/bitmaps/scene03/scene4overlay.png", Kind::PngAlpha, 256, 1024, kNoWrap},
        {"data/bitmaps/scene03/sentence.png", Kind::PngAlpha, 512, 64, kWrapU},
        {"data/bitmaps/scene03/textscroll.png", Kind::PngAlpha, 128, 512, kWrapUV},
        {"data/bitmaps/scene04/envmap2.jpg", Kind::Jpeg, 512, 256, kNoWrap},
        {"data/bitmaps/scene04/wood.jpg", Kind::Jpeg, 2048, 1024, kNoWrap},
        {"data/bitmaps/scene05/firefly_r.png", Kind::PngAlpha, 64, 64, kNoWrap},
        {"data/bitmaps/scene05/redwater.jpg", Kind::Jpeg, 512, 512, kNoWrap},
        {"data/bitmaps/scene06/forest.jpg", Kind::Jpeg, 2048, 512, kNoWrap},
        {"data/bitmaps/scene07/credit1.jpg", Kind::Jpeg, 1024, 1024, kNoWrap},
        {"data/bitmaps/scene07/credit2.jpg", Kind::Jpeg, 1024, 1024, kNoWrap},
        {"data/bitmaps/scene07/credit3.jpg", Kind::Jpeg, 1024, 1024, kNoWrap},
        {"data/bitmaps/scene07/hello.jpg", Kind::Jpeg, 1024, 1024, kNoWrap},
        {"data/bitmaps/scene08/envmap.jpg", Kind::Jpeg, 512, 512, kNoWrap},
        {"data/bitmaps/scene09/greet01.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet02.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet03.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet04.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet05.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet06.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet07.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet08.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet09.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet10.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet11.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet12.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet13.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene09/greet14.png", Kind::PngAlpha, 256, 64, kNoWrap},
        {"data/bitmaps/scene10/finalsplash.jpg", Kind::Jpeg, 1024, 1024, kNoWrap},
        {"data/bitmaps/scene10/endscreen.png", Kind::Png, 1024, 1024, kNoWrap},
        {"data/bitmaps/texts/symbol1.png", Kind::PngAlpha, 512, 64, kWrapU},
        {"data/bitmaps/texts/symbol2.png", Kind::PngAlpha, 512, 64, kWrapU},
        {"data/bitmaps/texts/symbol3.png", Kind::PngAlpha, 512, 64, kWrapU},
        {"data/bitmaps/texts/symbol4.png", Kind::PngAlpha, 512, 64, kWrapU},
    };
    return all;
}

inline const char* kStarMesh = "data/meshes/scene08/star.x";
inline const char* kMusic = "intro.mp3";

}  // namespace vt::media_test
