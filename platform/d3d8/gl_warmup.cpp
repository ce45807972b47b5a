// The warm-up: right after the loading picture is presented, the device
// draws every state combination of the built-in list once, into a small
// target of its own, so that the programs are linked and the driver's code
// for each combination is built before the show's first frame instead of
// at a scene's first frame. The show's state is put back afterwards and
// every piece of GL state is sent again at the next draw, so nothing the
// show draws can tell the difference.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <memory>
#include <tuple>

#include "platform/d3d8/d3d8_defaults.h"
#include "platform/d3d8/gl_device.h"
#include "platform/d3d8/gl_variants.h"
#include "platform/win32/trace.h"

namespace vt::d3d8 {

namespace {

constexpr UINT kSide = 16;                // the warm-up target, in pixels
constexpr UINT kVertexBytes = 6 * 1024;  // six vertices of the largest stride a recipe may have

std::string& ListOverride() {
    static std::string text;
    return text;
}

template <class T>
void ReleaseAll(T& objects) {
    for (auto& kv : objects)
        if (kv.second) kv.second->Release();
    objects.clear();
}

}  // namespace

// What the warm-up draws with: targets of each colour and depth format,
// one texture per shape a recipe samples, and one vertex buffer.
struct WarmUpKit {
    GlDevice* device = nullptr;
    std::map<TargetColor, IDirect3DTexture8*> colorTextures;
    std::map<TargetColor, IDirect3DSurface8*> colorSurfaces;
    std::map<D3DFORMAT, std::unique_ptr<GlSurface>> depths;
    std::map<std::tuple<D3DFORMAT, bool, uint8_t>, IDirect3DBaseTexture8*> textures;
    IDirect3DVertexBuffer8* vertices = nullptr;

    ~WarmUpKit() {
        ReleaseAll(colorSurfaces);
        ReleaseAll(colorTextures);
        ReleaseAll(textures);
        if (vertices) vertices->Release();
    }

    GlSurface* Color(TargetColor c) {
        auto it = colorSurfaces.find(c);
        if (it != colorSurfaces.end()) return static_cast<GlSurface*>(it->second);
        IDirect3DTexture8* tex = nullptr;
        IDirect3DSurface8* surface = nullptr;
        const D3DFORMAT f = c == kTargetRgb565 ? D3DFMT_R5G6B5 : D3DFMT_A8R8G8B8;
        if (FAILED(device->CreateTexture(kSide, kSide, 1, D3DUSAGE_RENDERTARGET, f, D3DPOOL_DEFAULT, &tex)))
            return nullptr;
        colorTextures[c] = tex;
        if (FAILED(tex->GetSurfaceLevel(0, &surface))) return nullptr;
        colorSurfaces[c] = surface;
        return static_cast<GlSurface*>(surface);
    }

    GlSurface* Depth(D3DFORMAT f) {
        auto& slot = depths[f];
        if (slot) return slot.get();
        D3DSURFACE_DESC d{};
        d.Format = f;
        d.Type = D3DRTYPE_SURFACE;
        d.Usage = D3DUSAGE_DEPTHSTENCIL;
        d.Pool = D3DPOOL_DEFAULT;
        d.Width = d.Height = kSide;
        d.Size = kSide * kSide * (f == D3DFMT_D24S8 ? 4 : 2);
        slot = std::make_unique<GlSurface>(device, nullptr, GlSurface::Kind::DepthBuffer, d);
        // Scaled and multisampled as the show's own depth buffer is, so the
        // driver builds the same code for it.
        slot->glWidth = slot->glHeight = device->ScaledSize(kSide, device->maxRenderbufferSize_);
        device->AllocateDepth(*slot);
        return slot.get();
    }

    // A texture of the recorded shape: power-of-two sides or not, one
    // level or several.
    GlBaseTex* Texture(const DrawRecipe::Texture& t) {
        const auto key = std::make_tuple(t.format, t.cube, uint8_t(t.shape & ~kShapeBaseZero));
        auto it = textures.find(key);
        if (it != textures.end()) return dynamic_cast<GlBaseTex*>(it->second);
        const UINT w = (t.shape & kShapePotWidth) ? 8 : 6;
        const UINT h = t.cube ? w : (t.shape & kShapePotHeight) ? 8 : 6;
        const UINT levels = (t.shape & kShapeMipmapped) ? 3 : 1;
        IDirect3DBaseTexture8* made = nullptr;
        if (t.cube) {
            IDirect3DCubeTexture8* cube = nullptr;
            if (SUCCEEDED(device->CreateCubeTexture(w, levels, 0, t.format, D3DPOOL_MANAGED, &cube))) made = cube;
        } else {
            IDirect3DTexture8* flat = nullptr;
            if (SUCCEEDED(device->CreateTexture(w, h, levels, 0, t.format, D3DPOOL_MANAGED, &flat))) made = flat;
        }
        textures[key] = made;
        return made ? dynamic_cast<GlBaseTex*>(made) : nullptr;
    }

    GlVertexBuffer* Vertices() {
        if (!vertices &&
            FAILED(device->CreateVertexBuffer(kVertexBytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vertices)))
            return nullptr;
        return static_cast<GlVertexBuffer*>(vertices);
    }
};

// Puts the recipe's state in place of the device's (the caller keeps the
// device's own); false if a resource for it could not be made.
bool GlDevice::ApplyRecipe(const DrawRecipe& r, WarmUpKit& kit) {
    FillDefaultRenderStates(state_.rs, TRUE);
    for (const auto& p : r.renderStates) state_.rs[p.first] = p.second;
    const int stages = int(std::min<size_t>(r.stages.size(), kMaxStages));
    for (int s = 0; s < kMaxStages; ++s) {
        DWORD* t = state_.tss[s];
        FillDefaultStageStates(t, DWORD(s));
        state_.texm[s] = Identity();
        state_.textures[s] = nullptr;
        if (s >= stages) {
            if (s == stages) t[D3DTSS_COLOROP] = D3DTOP_DISABLE;  // the cascade ends where the recipe's did
            continue;
        }
        for (const auto& p : r.stages[size_t(s)].states) t[p.first] = p.second;
        const DrawRecipe::Texture& tex = r.stages[size_t(s)].texture;
        if (tex.format == D3DFMT_UNKNOWN) continue;
        state_.textures[s] = kit.Texture(tex);
        if (!state_.textures[s]) return false;
        // Sampling from level 0 or from a later one.
        t[D3DTSS_MAXMIPLEVEL] = (tex.shape & kShapeBaseZero) ? 0 : 1;
    }
    state_.world = state_.view = state_.proj = Identity();
    state_.fvf = r.fvf;
    layout_ = FvfLayout::From(r.fvf);
    state_.stride = std::max(r.stride, layout_.size);
    state_.colorTarget = kit.Color(r.color);
    state_.depthTarget = r.depth == D3DFMT_UNKNOWN ? nullptr : kit.Depth(r.depth);
    state_.viewport = {0, 0, kSide, kSide, 0.0f, 1.0f};
    state_.stream = kit.Vertices();
    if (!state_.colorTarget || !state_.stream || state_.stride * 6 > kVertexBytes) return false;

    // One primitive that covers the target: screen positions for
    // pre-transformed vertices, clip-space ones through identity matrices
    // otherwise; white, with the other parts zero.
    BYTE* bytes = nullptr;
    if (FAILED(kit.vertices->Lock(0, kVertexBytes, &bytes, 0))) return false;
    std::memset(bytes, 0, kVertexBytes);
    const float screen[3][4] = {{0, 0, 0.5f, 1}, {2.0f * kSide, 0, 0.5f, 1}, {0, 2.0f * kSide, 0.5f, 1}};
    const float clip[3][4] = {{-1, 1, 0.5f, 1}, {3, 1, 0.5f, 1}, {-1, -3, 0.5f, 1}};
    for (int v = 0; v < 6; ++v) {  // the same primitive twice, for batches of two ranges
        BYTE* at = bytes + size_t(v) * state_.stride;
        std::memcpy(at, layout_.rhw ? screen[v % 3] : clip[v % 3], sizeof(float) * size_t(layout_.posSize));
        const DWORD white = 0xffffffffu;
        const float one = 1.0f;
        if (layout_.diffuse >= 0) std::memcpy(at + layout_.diffuse, &white, 4);
        if (layout_.psize >= 0) std::memcpy(at + layout_.psize, &one, 4);
    }
    kit.vertices->Unlock();
    lastPoints_ = r.primitive == D3DPT_POINTLIST;
    dirty_ = kDirtyAll;
    entry_ = nullptr;
    return true;
}

// Builds the programs of every recipe in the list.
void GlDevice::PrecompileCommon(const std::vector<DrawRecipe>& recipes, WarmUpKit& kit) {
    for (const DrawRecipe& r : recipes) {
        if (!ApplyRecipe(r, kit)) continue;
        const FragmentKey fk = MakeFragmentKey();
        shaders_.Precompile(MakeVertexKey(fk.stages), fk);
    }
    stats.programsBuilt = shaders_.ProgramCount();
}

// Mesa stops folding the attributes of one vertex buffer into one binding
// once a vertex array object has been respecified a few times, and its
// vertex-program code depends on which of the two layouts a draw meets. The
// device respecifies its array object at nearly every draw, so all but the
// first few draws of its life meet the unfolded layout; the warm-up must draw
// in that one too. Empty draws make the driver look at the array object
// without running anything. Needs a program and a vertex buffer bound.
void GlDevice::SettleVertexArray() {
    constexpr int kRounds = 8;  // the driver gives up folding after 4
    for (int i = 0; i < kRounds; ++i) {
        glVertexAttribPointer(kAttrPosition, 3, GL_FLOAT, GL_FALSE, GLsizei(16 + 4 * (i & 1)), nullptr);
        glDrawArrays(GL_POINTS, 0, 0);
    }
    gl_.attribFvf = 0xffffffffu;  // the next draw sets its own pointers again
    VT_CHECK_GL("settling the vertex array");
}

void SetWarmUpList(const std::string& text) { ListOverride() = text; }

void GlDevice::WarmUp() {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> errors;
    const std::string& chosen = ListOverride();
    const std::vector<DrawRecipe> recipes = ParseRecipes(chosen.empty() ? BuiltInRecipes() : chosen.c_str(), errors);
    for (const std::string& e : errors) std::fprintf(stderr, "d3d8: warm-up list, %s\n", e.c_str());

    MakeCurrent();
    const DeviceState saved = state_;
    const FvfLayout savedLayout = layout_;
    const int savedStages = activeStages_;
    const bool savedPoints = lastPoints_;
    const bool savedInScene = inScene_;
    const uint64_t savedDrawCalls = stats.drawCalls;
    size_t drawn = 0;
    {
        WarmUpKit kit;
        kit.device = this;
        variants_.replaying = true;
        PrecompileCommon(recipes, kit);
        if (!recipes.empty() && ApplyRecipe(recipes.front(), kit) &&
            SUCCEEDED(PrepareDraw(recipes.front().primitive, false)))
            SettleVertexArray();
        // Through the show's own draw calls, so the draws go to GL the way the
        // show's would.
        inScene_ = false;
        for (const DrawRecipe& r : recipes) {
            if (!ApplyRecipe(r, kit)) continue;
            BeginScene();
            if (SUCCEEDED(DrawPrimitive(r.primitive, 0, 1))) ++drawn;
            if (r.batch != 0) {
                // A second draw under another world matrix joins the first
                // as the recorded batch did: the same range again
                // (instanced) or the next one (a matrix per range).
                D3DMATRIX moved{};
                for (int i = 0; i < 4; ++i) moved.m[i][i] = 1.0f;
                moved.m[3][0] = 0.25f;
                SetTransform(D3DTS_WORLD, &moved);
                DrawPrimitive(r.primitive, r.batch == 1 ? 0 : 3, 1);
            }
            EndScene();
        }
        glFinish();
        variants_.replaying = false;

        // The show's state back; GL hears all of it again at the next draw.
        state_ = saved;
        layout_ = savedLayout;
        activeStages_ = savedStages;
        lastPoints_ = savedPoints;
        inScene_ = savedInScene;
        entry_ = nullptr;
        gl_ = GlShadow{};
        dirty_ = kDirtyAll;
        stats.drawCalls = savedDrawCalls;
    }  // the kit's objects go here, after the state no longer names them
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    vt::win32::TraceStep("warm-up: " + std::to_string(drawn) + " combinations drawn, " +
                         std::to_string(shaders_.ProgramCount()) + " programs (" + std::to_string(int(ms)) + " ms)");
}

}  // namespace vt::d3d8
