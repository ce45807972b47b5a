// Counting the draw-state combinations the GL driver compiles code for, and
// the text form of the Direct3D state behind each (see gl_variants.h).
#include "platform/d3d8/gl_variants.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/d3d8/d3d8_defaults.h"
#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

bool VariantKey::operator==(const VariantKey& o) const {
    return count == o.count && std::memcmp(word, o.word, sizeof(uint32_t) * size_t(count)) == 0;
}

size_t VariantKey::Hash() const {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the words
    for (int i = 0; i < count; ++i) {
        h ^= word[i];
        h *= 1099511628211ull;
    }
    return static_cast<size_t>(h);
}

VariantLog::Sight VariantLog::Note(const VariantKey& key) {
    Sight s;
    if (haveLast_ && key == last_) return s;
    s.fresh = seen_.insert(key).second;
    if (replaying) {
        haveLast_ = false;  // the show's next draw must still be looked at
        return s;
    }
    last_ = key;
    haveLast_ = true;
    if (recording) s.record = shown_.insert(key).second;
    return s;
}

bool RenderStateShapesCode(DWORD state) {
    if (state >= D3DRS_MAX) return false;
    return (RenderStateDirt(static_cast<D3DRENDERSTATETYPE>(state)) & (kDirtyFixed | kDirtyProgram)) != 0;
}

bool StageStateShapesCode(DWORD type) {
    if (type >= D3DTSS_MAX) return false;
    const uint32_t dirt = StageStateDirt(0, static_cast<D3DTEXTURESTAGESTATETYPE>(type));
    return (dirt & (kDirtyProgram | DirtySampler(0))) != 0;
}

// ---------------------------------------------------------------------------
// Recipe lines:
//   prim=4 fvf=0x144 stride=28 target=rgba8 depth=75 batch=0 rs=7:0,27:1 stages=1 s0=1:4,2:2 t0=21:2d:15
// rs and sN list state:value pairs (decimal, defaults left out; "-" for
// none); tN is the texture bound to stage N: format, 2d or cube, shape bits.

namespace {

std::string Pairs(const std::vector<std::pair<DWORD, DWORD>>& pairs) {
    if (pairs.empty()) return "-";
    std::string out;
    for (const auto& p : pairs) {
        if (!out.empty()) out += ',';
        out += std::to_string(p.first) + ':' + std::to_string(p.second);
    }
    return out;
}

bool Number(const std::string& text, unsigned long& out, int base = 10) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtoul(text.c_str(), &end, base);
    return end && *end == '\0';
}

bool ParsePairs(const std::string& text, std::vector<std::pair<DWORD, DWORD>>& out) {
    out.clear();
    if (text == "-") return true;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t colon = item.find(':');
        unsigned long a = 0, b = 0;
        if (colon == std::string::npos || !Number(item.substr(0, colon), a) || !Number(item.substr(colon + 1), b))
            return false;
        out.emplace_back(DWORD(a), DWORD(b));
    }
    return !out.empty();
}

}  // namespace

std::string DrawRecipe::Line() const {
    char head[160];
    std::snprintf(head, sizeof head, "prim=%u fvf=0x%x stride=%u target=%s depth=%u batch=%d", unsigned(primitive),
                  unsigned(fvf), unsigned(stride), color == kTargetRgb565 ? "rgb565" : "rgba8", unsigned(depth),
                  batch);
    std::string line = head;
    line += " rs=" + Pairs(renderStates);
    line += " stages=" + std::to_string(stages.size());
    for (size_t s = 0; s < stages.size(); ++s) {
        const std::string n = std::to_string(s);
        line += " s" + n + '=' + Pairs(stages[s].states);
        const Texture& t = stages[s].texture;
        if (t.format != D3DFMT_UNKNOWN)
            line += " t" + n + '=' + std::to_string(unsigned(t.format)) + (t.cube ? ":cube:" : ":2d:") +
                    std::to_string(unsigned(t.shape));
    }
    return line;
}

bool DrawRecipe::Parse(const std::string& line, DrawRecipe& out, std::string& error) {
    out = DrawRecipe{};
    std::stringstream in(line);
    std::string token;
    bool seen[6] = {};  // prim, fvf, stride, target, depth, stages
    while (in >> token) {
        const size_t eq = token.find('=');
        if (eq == std::string::npos) {
            error = "no '=' in \"" + token + "\"";
            return false;
        }
        const std::string name = token.substr(0, eq), value = token.substr(eq + 1);
        unsigned long v = 0;
        bool ok = true;
        if (name == "prim") {
            ok = Number(value, v) && v >= D3DPT_POINTLIST && v <= D3DPT_TRIANGLEFAN;
            out.primitive = static_cast<D3DPRIMITIVETYPE>(v);
            seen[0] = true;
        } else if (name == "fvf") {
            ok = value.rfind("0x", 0) == 0 && Number(value.substr(2), v, 16) && (v & D3DFVF_POSITION_MASK);
            out.fvf = DWORD(v);
            seen[1] = true;
        } else if (name == "stride") {
            ok = Number(value, v) && v > 0 && v <= 1024;
            out.stride = UINT(v);
            seen[2] = true;
        } else if (name == "target") {
            ok = value == "rgba8" || value == "rgb565";
            out.color = value == "rgb565" ? kTargetRgb565 : kTargetRgba8;
            seen[3] = true;
        } else if (name == "depth") {
            ok = Number(value, v) && (v == 0 || v == D3DFMT_D16 || v == D3DFMT_D16_LOCKABLE || v == D3DFMT_D24S8);
            out.depth = static_cast<D3DFORMAT>(v);
            seen[4] = true;
        } else if (name == "batch") {
            ok = Number(value, v) && v <= 2;
            out.batch = int(v);
        } else if (name == "rs") {
            ok = ParsePairs(value, out.renderStates);
            for (const auto& p : out.renderStates) ok = ok && p.first < D3DRS_MAX;
        } else if (name == "stages") {
            ok = Number(value, v) && v <= kMaxStages;
            out.stages.resize(v);
            seen[5] = true;
        } else if ((name[0] == 's' || name[0] == 't') && name.size() == 2 && name[1] >= '0' && name[1] < '0' + kMaxStages) {
            const size_t s = size_t(name[1] - '0');
            ok = s < out.stages.size();  // "stages" comes first
            if (ok && name[0] == 's') {
                ok = ParsePairs(value, out.stages[s].states);
                for (const auto& p : out.stages[s].states) ok = ok && p.first < D3DTSS_MAX;
            } else if (ok) {
                Texture& t = out.stages[s].texture;
                std::stringstream parts(value);
                std::string format, kind, shape;
                unsigned long f = 0, sh = 0;
                ok = std::getline(parts, format, ':') && std::getline(parts, kind, ':') && std::getline(parts, shape) &&
                     Number(format, f) && (kind == "2d" || kind == "cube") && Number(shape, sh) && sh < 16 &&
                     (f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5);
                t.format = static_cast<D3DFORMAT>(f);
                t.cube = kind == "cube";
                t.shape = uint8_t(sh);
            }
        } else {
            error = "unknown field \"" + name + "\"";
            return false;
        }
        if (!ok) {
            error = "bad value in \"" + token + "\"";
            return false;
        }
    }
    for (bool s : seen) {
        if (!s) {
            error = "a field is missing (prim, fvf, stride, target, depth and stages are needed)";
            return false;
        }
    }
    return true;
}

std::vector<DrawRecipe> ParseRecipes(const char* text, std::vector<std::string>& errors) {
    std::vector<DrawRecipe> out;
    std::stringstream in(text ? text : "");
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        DrawRecipe r;
        std::string error;
        if (DrawRecipe::Parse(line, r, error))
            out.push_back(std::move(r));
        else
            errors.push_back("line " + std::to_string(number) + ": " + error);
    }
    return out;
}

// ---------------------------------------------------------------------------
// The device's side

namespace {

int BatchKind(const DrawBatch& b) {
    return b.Shape() == BatchShape::Instanced ? 1 : b.Shape() == BatchShape::VertexSlots ? 2 : 0;
}

int PrimitiveClass(D3DPRIMITIVETYPE type) {
    if (type == D3DPT_POINTLIST) return 2;
    if (type == D3DPT_LINELIST || type == D3DPT_LINESTRIP) return 1;
    return 0;
}

uint8_t ShapeOf(const TexStore& st) {
    auto pot = [](UINT v) { return v != 0 && (v & (v - 1)) == 0; };
    uint8_t shape = 0;
    // The sizes GL holds: a render target at the internal resolution may
    // lose (or gain) a power-of-two side.
    if (pot(st.glWidth)) shape |= kShapePotWidth;
    if (pot(st.glHeight)) shape |= kShapePotHeight;
    if (st.levels > 1) shape |= kShapeMipmapped;
    if (st.baseLevel == 0) shape |= kShapeBaseZero;
    return shape;
}

// What of a stage's sampler reaches the driver's code: wrapping (cube maps
// always clamp), the three filters and whether the level bias is zero.
uint32_t SamplerBits(const DWORD* t, bool cube) {
    uint32_t bits = cube ? 0u
                         : (t[D3DTSS_ADDRESSU] & 7) | (t[D3DTSS_ADDRESSV] & 7) << 3 | (t[D3DTSS_ADDRESSW] & 7) << 6;
    bits |= (t[D3DTSS_MAGFILTER] & 7) << 9 | (t[D3DTSS_MINFILTER] & 7) << 12 | (t[D3DTSS_MIPFILTER] & 7) << 15;
    if ((t[D3DTSS_MIPMAPLODBIAS] & 0x7fff0000u) != 0) bits |= 1u << 18;
    return bits;
}

}  // namespace

// Read after the draw's state went to GL: the values are the ones sent.
VariantKey GlDevice::CurrentVariant(D3DPRIMITIVETYPE type) const {
    VariantKey k;
    const uintptr_t programs = reinterpret_cast<uintptr_t>(entry_);
    k.Add(uint32_t(programs));
    k.Add(uint32_t(uint64_t(programs) >> 32));
    const GlShadow& g = gl_;
    k.Add(uint32_t(g.depthTest));
    k.Add(uint32_t(g.depthClamp));
    if (g.depthTest == 1) {
        k.Add(uint32_t(g.depthMask));
        k.Add(uint32_t(g.depthFunc));
    }
    k.Add(uint32_t(g.blend));
    if (g.blend == 1) {
        k.Add(uint32_t(g.srcRgb));
        k.Add(uint32_t(g.dstRgb));
        k.Add(uint32_t(g.blendEq));
    }
    k.Add(uint32_t(g.cull));
    if (g.cull == 1) k.Add(uint32_t(g.cullFace));
    k.Add(uint32_t(g.polygonMode));
    k.Add(uint32_t(g.colorMask));
    k.Add(uint32_t(g.polyOffset));
    const GlSurface* c = state_.colorTarget;
    const GlSurface* d = state_.depthTarget;
    k.Add(uint32_t(c->desc.Format == D3DFMT_R5G6B5 ? kTargetRgb565 : kTargetRgba8));
    k.Add(d ? uint32_t(d->desc.Format) : 0u);
    k.Add(uint32_t(PrimitiveClass(type)));
    k.Add(uint32_t(BatchKind(batch_)));  // per-draw matrices, and per instance or per vertex
    k.Add(state_.fvf);
    k.Add(state_.stride);
    k.Add(uint32_t(activeStages_));
    for (int s = 0; s < activeStages_; ++s) {
        const DWORD* t = state_.tss[s];
        k.Add(t[D3DTSS_TEXCOORDINDEX] & 0xffff);
        GlBaseTex* tex = state_.textures[s];
        if (!tex) {
            k.Add(0);
            continue;
        }
        const TexStore& st = tex->Store();
        const bool cube = st.target == GL_TEXTURE_CUBE_MAP;
        k.Add(uint32_t(st.format) | uint32_t(cube) << 16 | uint32_t(ShapeOf(st)) << 20);
        k.Add(SamplerBits(t, cube));
    }
    return k;
}

DrawRecipe GlDevice::CurrentRecipe(D3DPRIMITIVETYPE type) const {
    DrawRecipe r;
    r.primitive = type;
    r.fvf = state_.fvf;
    r.stride = state_.stride;
    r.color = state_.colorTarget->desc.Format == D3DFMT_R5G6B5 ? kTargetRgb565 : kTargetRgba8;
    r.depth = state_.depthTarget ? state_.depthTarget->desc.Format : D3DFMT_UNKNOWN;
    r.batch = BatchKind(batch_);
    DWORD defaults[D3DRS_MAX] = {};
    FillDefaultRenderStates(defaults, TRUE);
    for (DWORD i = 0; i < D3DRS_MAX; ++i)
        if (RenderStateShapesCode(i) && state_.rs[i] != defaults[i]) r.renderStates.emplace_back(i, state_.rs[i]);
    for (int s = 0; s < activeStages_; ++s) {
        DWORD stageDefaults[D3DTSS_MAX] = {};
        FillDefaultStageStates(stageDefaults, DWORD(s));
        DrawRecipe::Stage stage;
        for (DWORD i = 0; i < D3DTSS_MAX; ++i)
            if (StageStateShapesCode(i) && state_.tss[s][i] != stageDefaults[i])
                stage.states.emplace_back(i, state_.tss[s][i]);
        if (GlBaseTex* tex = state_.textures[s]) {
            const TexStore& st = tex->Store();
            stage.texture.format = st.format;
            stage.texture.cube = st.target == GL_TEXTURE_CUBE_MAP;
            stage.texture.shape = ShapeOf(st);
        }
        r.stages.push_back(std::move(stage));
    }
    return r;
}

void GlDevice::NoteVariant(D3DPRIMITIVETYPE type) {
    const VariantLog::Sight sight = variants_.Note(CurrentVariant(type));
    if (sight.fresh) ++stats.variantsBuilt;
    if (sight.record) variants_.recorded.push_back(CurrentRecipe(type).Line());
}

}  // namespace vt::d3d8
