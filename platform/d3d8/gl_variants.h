// Draw-state combinations the GL driver compiles code for, counted as the
// device meets them, and recorded as text the device can draw again.
//
// A software GL driver builds machine code at the first draw of each
// combination of program, blending, depth test and write, colour mask,
// render-target formats, vertex layout and, per sampled texture, its
// format, target, power-of-two sizes, mip levels and sampler filters and
// wrapping. A first draw of such a combination in the middle of the show
// is a stall of tens of milliseconds. VariantKey is that combination as
// this device sends it; VariantLog counts the first sight of each.
//
// A DrawRecipe is the Direct3D state behind one combination, one line of
// text: the render states and stage states that reach programs or fixed
// GL state (only those that differ from their defaults), the vertex format
// and stride, the primitive, the shape of each sampled texture and the
// target formats. The device writes one line for each combination its
// draws meet (when recording) and, while the loading picture is up, draws
// each line of the built-in list once offscreen (gl_warmup.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/d3d8/d3d8.h"

namespace vt::d3d8 {

struct VariantKey {
    static constexpr int kMaxWords = 64;
    uint32_t word[kMaxWords] = {};
    int count = 0;

    void Add(uint32_t v) {
        if (count < kMaxWords) word[count++] = v;
    }
    bool operator==(const VariantKey& o) const;
    bool operator!=(const VariantKey& o) const { return !(*this == o); }
    size_t Hash() const;
};

struct VariantKeyHash {
    size_t operator()(const VariantKey& k) const { return k.Hash(); }
};

// Bits of a sampled texture's shape that the driver's code depends on.
enum TextureShape : uint8_t {
    kShapePotWidth = 1 << 0,
    kShapePotHeight = 1 << 1,
    kShapeMipmapped = 1 << 2,  // more than one level
    kShapeBaseZero = 1 << 3,   // sampling starts at level 0
};

// Render-target formats as the driver stores them.
enum TargetColor : uint8_t { kTargetRgba8, kTargetRgb565 };

struct DrawRecipe {
    struct Texture {
        D3DFORMAT format = D3DFMT_UNKNOWN;  // UNKNOWN: nothing bound
        bool cube = false;
        uint8_t shape = 0;  // TextureShape bits
    };
    struct Stage {
        std::vector<std::pair<DWORD, DWORD>> states;  // type, value; defaults left out
        Texture texture;
    };
    D3DPRIMITIVETYPE primitive = D3DPT_TRIANGLELIST;
    DWORD fvf = 0;
    UINT stride = 0;
    TargetColor color = kTargetRgba8;
    D3DFORMAT depth = D3DFMT_UNKNOWN;  // UNKNOWN: no depth buffer
    // How the device's batch went to GL: one draw or a multi-draw (0), an
    // instanced draw (1), or a multi-draw with a world matrix per range (2).
    int batch = 0;
    std::vector<std::pair<DWORD, DWORD>> renderStates;  // state, value; defaults left out
    std::vector<Stage> stages;  // the active ones, in order

    std::string Line() const;
    // False (with the reason) for a line that is not a recipe.
    static bool Parse(const std::string& line, DrawRecipe& out, std::string& error);
};

// Whether a render state or a stage state can change what the driver
// compiles (a program key or fixed GL state); others go to uniforms only.
bool RenderStateShapesCode(DWORD state);
bool StageStateShapesCode(DWORD type);

// The recipes of a list: one a line, '#' comments and blank lines skipped.
// Lines that do not parse are reported in `errors` and left out.
std::vector<DrawRecipe> ParseRecipes(const char* text, std::vector<std::string>& errors);

// The recipe list built into the library (platform/d3d8/warmup/variants.txt).
const char* BuiltInRecipes();

class VariantLog {
public:
    struct Sight {
        bool fresh = false;   // first time the device meets this key
        bool record = false;  // first time a show's draw meets it while recording
    };
    // The same key as the previous call is answered without a lookup.
    Sight Note(const VariantKey& key);
    size_t Size() const { return seen_.size(); }

    bool recording = false;
    std::vector<std::string> recorded;  // recipe lines, in the order met
    bool replaying = false;             // the device's own warm-up draws: never recorded

private:
    std::unordered_set<VariantKey, VariantKeyHash> seen_, shown_;
    VariantKey last_;
    bool haveLast_ = false;
};

}  // namespace vt::d3d8
