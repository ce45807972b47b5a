// Drawing a batch on OpenGL ES 3.0 (WebGL 2), which lacks multi-draws,
// base vertices, a first-vertex convention for flat colours and polygon
// modes. What it lacks is drawn with indices built here:
//
//   several ranges, or a base  one draw of 32-bit indices, each range's
//   vertex                     vertices (indices with the base added), strips
//                              and fans apart by the all-ones restart index
//   flat shading               each primitive's vertices turned round, same
//                              winding, so that its first vertex (the one
//                              desktop GL takes) comes last, where ES looks
//   wireframe, point fill      each triangle the cull mode keeps becomes its
//                              three edges or its three corners
//
// The indices say the same primitives in the same order, so the pixels are
// those of the desktop path (the restart index is one no range can reach).
#include <cmath>
#include <cstring>

#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

namespace {

const void* IndexOffset(uintptr_t offset) { return reinterpret_cast<const void*>(offset); }

bool IsTriangles(D3DPRIMITIVETYPE t) {
    return t == D3DPT_TRIANGLELIST || t == D3DPT_TRIANGLESTRIP || t == D3DPT_TRIANGLEFAN;
}

bool IsLines(D3DPRIMITIVETYPE t) { return t == D3DPT_LINELIST || t == D3DPT_LINESTRIP; }

// Triangle k of a sequence, in GL's winding, and its first-vertex
// convention's vertex (strips alternate winding; fans turn about vertex 0).
struct Triangle {
    GLuint v[3];
    GLuint first;
};

Triangle TriangleAt(D3DPRIMITIVETYPE t, const GLuint* seq, size_t k) {
    if (t == D3DPT_TRIANGLELIST) return {{seq[3 * k], seq[3 * k + 1], seq[3 * k + 2]}, seq[3 * k]};
    if (t == D3DPT_TRIANGLEFAN) return {{seq[0], seq[k + 1], seq[k + 2]}, seq[k + 1]};
    if (k % 2 == 0) return {{seq[k], seq[k + 1], seq[k + 2]}, seq[k]};
    return {{seq[k + 1], seq[k], seq[k + 2]}, seq[k]};
}

}  // namespace

bool GlDevice::EsReshapes(D3DPRIMITIVETYPE type) const {
    if (!GlEs()) return false;
    const DWORD* rs = state_.rs;
    const bool flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    if (IsTriangles(type)) return flat || rs[D3DRS_FILLMODE] != D3DFILL_SOLID;
    return IsLines(type) && flat;
}

void GlDevice::AppendRangeVertices(const DrawRange& r, GLenum indexType, std::vector<GLuint>& out) const {
    const GLuint base = GLuint(r.first);
    if (!r.indexed) {
        for (GLsizei i = 0; i < r.count; ++i) out.push_back(base + GLuint(i));
        return;
    }
    const uint8_t* at = state_.indices->buf.shadow.data() + r.offset;
    for (GLsizei i = 0; i < r.count; ++i) {
        if (indexType == GL_UNSIGNED_INT) {
            uint32_t v = 0;
            std::memcpy(&v, at + size_t(i) * 4, 4);
            out.push_back(base + v);
        } else {
            uint16_t v = 0;
            std::memcpy(&v, at + size_t(i) * 2, 2);
            out.push_back(base + v);
        }
    }
}

void GlDevice::IssueBatchEs(GLenum mode, GLenum indexType) {
    const std::vector<DrawRange>& ranges = batch_.Ranges();
    const DrawRange& head = ranges.front();
    if (EsReshapes(head.type)) {
        IssueReshapedEs(head.type, indexType);
        return;
    }
    const bool instanced = batch_.Shape() == BatchShape::Instanced;
    const auto instances = static_cast<GLsizei>(batch_.Worlds().size());
    // 16-bit indices reaching 0xffff would restart, which WebGL cannot turn off.
    const bool restartClash =
        head.indexed && indexType == GL_UNSIGNED_SHORT && head.hi > GLuint(head.first) + 0xffffu;
    if (ranges.size() == 1 && (!head.indexed || head.first == 0) && !restartClash) {
        if (!head.indexed && instanced)
            glDrawArraysInstanced(mode, head.first, head.count, instances);
        else if (!head.indexed)
            glDrawArrays(mode, head.first, head.count);
        else if (instanced)
            glDrawElementsInstanced(mode, head.count, indexType, IndexOffset(head.offset), instances);
        else
            glDrawElements(mode, head.count, indexType, IndexOffset(head.offset));
        VT_CHECK_GL("draw");
        ++stats.glDraws;
        return;
    }
    const bool restart = head.type == D3DPT_TRIANGLESTRIP || head.type == D3DPT_TRIANGLEFAN ||
                         head.type == D3DPT_LINESTRIP;
    esIndexData_.clear();
    for (const DrawRange& r : ranges) {
        if (restart && !esIndexData_.empty()) esIndexData_.push_back(0xffffffffu);
        AppendRangeVertices(r, indexType, esIndexData_);
    }
    DrawEsIndices(mode, instanced ? instances : 0);
}

void GlDevice::IssueReshapedEs(D3DPRIMITIVETYPE type, GLenum indexType) {
    const std::vector<DrawRange>& ranges = batch_.Ranges();
    const DWORD* rs = state_.rs;
    const DWORD fill = rs[D3DRS_FILLMODE];
    const DWORD cull = rs[D3DRS_CULLMODE];
    const bool perDraw = batch_.Shape() == BatchShape::VertexSlots;
    const std::vector<uint8_t>& vertices = state_.stream->buf.shadow;

    // Facing as GL finds it, for the culling a polygon mode still applies:
    // the signed area of the triangle in normalised device coordinates
    // (counter-clockwise is GL's front, which is Direct3D's clockwise).
    std::vector<float> clip;
    if (!layout_.rhw && IsTriangles(type) && fill != D3DFILL_SOLID && cull != D3DCULL_NONE) {
        const std::vector<Mat4>& worlds = batch_.Worlds();
        clip.resize(worlds.size() * 16);
        float wv[16], normal[16];
        for (size_t i = 0; i < worlds.size(); ++i) WorldTransform(worlds[i], &clip[i * 16], wv, normal);
    }
    auto device = [&](GLuint v, size_t slot, float out[2]) {
        float p[3];
        std::memcpy(p, vertices.data() + size_t(v) * state_.stride, sizeof p);
        if (layout_.rhw) {
            // Screen rows grow downwards; GL's device y grows with them here (targets are stored top row first).
            out[0] = p[0];
            out[1] = p[1];
            return true;
        }
        const float* m = &clip[slot * 16];
        float c[4];
        for (int j = 0; j < 4; ++j) c[j] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + m[12 + j];
        if (!(c[3] > 1e-6f)) return false;
        out[0] = c[0] / c[3];
        out[1] = c[1] / c[3];
        return true;
    };
    auto culled = [&](const Triangle& t, size_t slot) {
        if (fill == D3DFILL_SOLID || cull == D3DCULL_NONE) return false;
        float a[2], b[2], c[2];
        if (!device(t.v[0], slot, a) || !device(t.v[1], slot, b) || !device(t.v[2], slot, c)) return false;
        const float area = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
        const bool front = area > 0.0f;
        return cull == D3DCULL_CW ? front : !front;
    };

    GLenum mode = GL_TRIANGLES;
    esIndexData_.clear();
    std::vector<GLuint> seq;
    for (size_t i = 0; i < ranges.size(); ++i) {
        const DrawRange& r = ranges[i];
        const size_t slot = perDraw ? batch_.Slots()[i] : 0;
        seq.clear();
        AppendRangeVertices(r, indexType, seq);
        if (IsLines(type)) {
            // Flat lines: each segment from its far end, so its first vertex is last.
            mode = GL_LINES;
            const size_t step = type == D3DPT_LINESTRIP ? 1 : 2;
            for (size_t e = 0; e + 1 < seq.size(); e += step) {
                esIndexData_.push_back(seq[e + 1]);
                esIndexData_.push_back(seq[e]);
            }
            continue;
        }
        const size_t triangles = type == D3DPT_TRIANGLELIST ? seq.size() / 3 : seq.size() >= 3 ? seq.size() - 2 : 0;
        for (size_t k = 0; k < triangles; ++k) {
            const Triangle t = TriangleAt(type, seq.data(), k);
            if (culled(t, slot)) continue;
            if (fill == D3DFILL_POINT) {
                for (GLuint v : t.v) esIndexData_.push_back(v);
            } else if (fill == D3DFILL_WIREFRAME) {
                // An edge takes its colour from one of its own ends when flat.
                for (int e = 0; e < 3; ++e) {
                    esIndexData_.push_back(t.v[e]);
                    esIndexData_.push_back(t.v[(e + 1) % 3]);
                }
            } else {
                // Turned round (winding kept) until the first vertex is last.
                int at = 0;
                while (t.v[at] != t.first) ++at;
                for (int e = 1; e <= 3; ++e) esIndexData_.push_back(t.v[(at + e) % 3]);
            }
        }
    }
    if (IsTriangles(type) && fill == D3DFILL_POINT) mode = GL_POINTS;
    if (IsTriangles(type) && fill == D3DFILL_WIREFRAME) mode = GL_LINES;
    DrawEsIndices(mode, 0);
}

void GlDevice::StreamIndices(GLuint& buffer, const std::vector<GLuint>& indices) {
    if (!buffer) glGenBuffers(1, &buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    gl_.elementBuffer = buffer;  // the next indexed draw binds its own again
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(GLuint)), indices.data(), GL_STREAM_DRAW);
}

void GlDevice::DrawEsIndices(GLenum mode, GLsizei instances) {
    if (esIndexData_.empty()) return;
    StreamIndices(esIndexBuffer_, esIndexData_);
    const auto count = GLsizei(esIndexData_.size());
    if (instances > 0)
        glDrawElementsInstanced(mode, count, GL_UNSIGNED_INT, nullptr, instances);
    else
        glDrawElements(mode, count, GL_UNSIGNED_INT, nullptr);
    VT_CHECK_GL("draw");
    ++stats.glDraws;
}

}  // namespace vt::d3d8
