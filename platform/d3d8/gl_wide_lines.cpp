// Lines at an internal resolution above 1: a line one of the program's
// pixels wide covers round(k) stored pixels across. A core profile need not
// draw lines wider than one pixel, so each segment is drawn round(k) times,
// one stored pixel further along its minor axis each time (down for a line
// closer to horizontal, right for one closer to vertical), which is how GL
// itself widens aliased lines. The copies never cover a pixel twice, so
// blended lines blend once. Which axis is minor is found on the CPU from
// the segment's ends on screen; the segments are then drawn in runs of one
// kind, in the program's order, from an index list of their vertices.
//
// Multisampled, triangles get no pixel-centre shift (gl_device.h), which
// would leave a line at whole pixels on the border between two rows, half
// in each; so every copy of a line, even the one copy at k = 1, is moved
// half a stored pixel onto the pixel centres.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

namespace {

// A vertex position through a clip matrix (row vector times the matrix, as
// the transform's uniforms hold it): false behind the eye.
bool ClipToScreen(const float* m, const float p[3], float w, float h, float out[2]) {
    float c[4];
    for (int j = 0; j < 4; ++j) c[j] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + m[12 + j];
    if (!(c[3] > 1e-6f)) return false;
    out[0] = c[0] / c[3] * 0.5f * w;
    out[1] = c[1] / c[3] * 0.5f * h;
    return true;
}

}  // namespace

int GlDevice::LineCopies() const { return std::max(1, int(std::lround(0.5 * (ScaleX() + ScaleY())))); }

bool GlDevice::DrawsLinesInCopies(D3DPRIMITIVETYPE type) const {
    return (type == D3DPT_LINELIST || type == D3DPT_LINESTRIP) && (LineCopies() > 1 || samples_ > 0);
}

void GlDevice::DrawLinesInCopies() {
    const std::vector<DrawRange>& ranges = batch_.Ranges();
    const std::vector<Mat4>& worlds = batch_.Worlds();
    const bool strip = ranges.front().type == D3DPT_LINESTRIP;
    const bool perDraw = batch_.Shape() == BatchShape::VertexSlots;
    const std::vector<uint8_t>& vertices = state_.stream->buf.shadow;
    const UINT stride = state_.stride;
    const float w = float(vpStored_[2]), h = float(vpStored_[3]);
    const float kx = float(ScaleX()), ky = float(ScaleY());

    // The clip matrix of each world matrix of the batch (transformed vertices).
    std::vector<float> clip;
    if (!layout_.rhw) {
        clip.resize(worlds.size() * 16);
        float wv[16], normal[16];
        for (size_t i = 0; i < worlds.size(); ++i) WorldTransform(worlds[i], &clip[i * 16], wv, normal);
    }
    auto screen = [&](UINT v, size_t slot, float out[2]) {
        float p[3];
        std::memcpy(p, vertices.data() + size_t(v) * stride, sizeof p);
        if (layout_.rhw) {
            out[0] = p[0] * kx;
            out[1] = p[1] * ky;
            return true;
        }
        return ClipToScreen(&clip[slot * 16], p, w, h, out);
    };
    auto vertexOf = [&](const DrawRange& r, size_t element) -> UINT {
        if (!r.indexed) return UINT(r.first) + UINT(element);
        const std::vector<uint8_t>& indices = state_.indices->buf.shadow;
        if (state_.indices->format == D3DFMT_INDEX32) {
            uint32_t i = 0;
            std::memcpy(&i, indices.data() + r.offset + element * 4, 4);
            return UINT(r.first) + i;
        }
        uint16_t i = 0;
        std::memcpy(&i, indices.data() + r.offset + element * 2, 2);
        return UINT(r.first) + i;
    };

    // Runs of segments with the same minor axis, in order.
    struct Run {
        size_t first = 0, count = 0;
        bool acrossRows = false;  // closer to horizontal: copies go down
    };
    std::vector<Run> runs;
    wideLineData_.clear();
    for (size_t i = 0; i < ranges.size(); ++i) {
        const DrawRange& r = ranges[i];
        const size_t slot = perDraw ? batch_.Slots()[i] : 0;
        const size_t elements = size_t(r.count);
        const size_t step = strip ? 1 : 2;
        for (size_t e = 0; e + 1 < elements; e += step) {
            const UINT a = vertexOf(r, e), b = vertexOf(r, e + 1);
            float pa[2] = {}, pb[2] = {};
            bool horizontal = true;
            if (screen(a, slot, pa) && screen(b, slot, pb))
                horizontal = std::fabs(pb[0] - pa[0]) >= std::fabs(pb[1] - pa[1]);
            if (runs.empty() || runs.back().acrossRows != horizontal)
                runs.push_back({wideLineData_.size(), 0, horizontal});
            wideLineData_.push_back(a);
            wideLineData_.push_back(b);
            runs.back().count += 2;
        }
    }
    if (wideLineData_.empty()) return;

    StreamIndices(wideLineIndices_, wideLineData_);

    // The copy offset reaches the bound vertex program directly; the shared
    // transform keeps zero there, so no other program sees it.
    const TransformTarget& target = *entry_->transform;
    auto offset = [&](float dx, float dy) {
        transform_.pixelShift[2] = dx;
        transform_.pixelShift[3] = dy;
        if (target.pixelShift < 0) return;
        if (target.separable)
            glProgramUniform4fv(target.program, target.pixelShift, 1, transform_.pixelShift);
        else
            glUniform4fv(target.pixelShift, 1, transform_.pixelShift);
    };
    const int copies = LineCopies();
    const float centre = samples_ > 0 ? 1.0f : 0.0f;  // half a stored pixel, in clip units times w
    for (const Run& run : runs) {
        const void* at = reinterpret_cast<const void*>(run.first * sizeof(GLuint));
        for (int c = 0; c < copies; ++c) {
            // Rows grow downwards in clip y as targets are stored (row 0 on top).
            const float across = run.acrossRows ? 0.0f : 2.0f * float(c);
            const float down = run.acrossRows ? 2.0f * float(c) : 0.0f;
            offset((across + centre) / w, (down + centre) / h);
            glDrawElements(GL_LINES, GLsizei(run.count), GL_UNSIGNED_INT, at);
            ++stats.glDraws;
        }
    }
    offset(0.0f, 0.0f);
    VT_CHECK_GL("lines in copies");
}

}  // namespace vt::d3d8
