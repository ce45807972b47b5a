// Held-back draws of the OpenGL device (gl_batch.h): which draws can join a
// batch, and drawing a batch with one GL call.
#include "platform/d3d8/gl_batch.h"

#include <algorithm>
#include <chrono>

#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

namespace {

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

const void* IndexOffset(uintptr_t offset) { return reinterpret_cast<const void*>(offset); }

}  // namespace

// ---------------------------------------------------------------------------
// Joining

bool DrawBatch::SharesVertices(const DrawRange& r, int exceptSlot) const {
    for (size_t i = 0; i < ranges_.size(); ++i) {
        if (int(slots_[i]) == exceptSlot) continue;
        if (r.lo < ranges_[i].hi && ranges_[i].lo < r.hi) return true;
    }
    return false;
}

bool DrawBatch::Add(const DrawRange& r, const Mat4& world, bool worldMatters, bool allowInstances) {
    if (shape_ == BatchShape::Empty) {
        shape_ = BatchShape::OneWorld;
        ranges_.assign(1, r);
        worlds_.assign(1, world);
        slots_.assign(1, 0);
        return true;
    }
    const DrawRange& head = ranges_.front();
    if (r.type != head.type || r.indexed != head.indexed || Draws() >= kMaxDraws) return false;
    const bool newWorld = worldMatters && !SameMatrix(world, worlds_.back());
    switch (shape_) {
    case BatchShape::OneWorld:
        if (!newWorld) {
            ranges_.push_back(r);
            slots_.push_back(0);
            return true;
        }
        if (allowInstances && ranges_.size() == 1 && r.SameAs(head)) {
            shape_ = BatchShape::Instanced;
            worlds_.push_back(world);
            return true;
        }
        if (SharesVertices(r, -1)) return false;
        shape_ = BatchShape::VertexSlots;
        break;
    case BatchShape::Instanced:
        // Every instance draws the same range; its world may repeat.
        if (!r.SameAs(head)) return false;
        worlds_.push_back(world);
        return true;
    case BatchShape::VertexSlots:
        if (ranges_.size() >= kMaxSlotDraws) return false;
        if (!newWorld) {
            if (SharesVertices(r, slots_.back())) return false;
            ranges_.push_back(r);
            slots_.push_back(slots_.back());
            return true;
        }
        if (SharesVertices(r, -1)) return false;
        break;
    case BatchShape::Empty: return false;
    }
    // A new world matrix for vertices no other draw of the batch reads.
    worlds_.push_back(world);
    ranges_.push_back(r);
    slots_.push_back(static_cast<uint16_t>(worlds_.size() - 1));
    return true;
}

void DrawBatch::Clear() {
    shape_ = BatchShape::Empty;
    ranges_.clear();
    worlds_.clear();
    slots_.clear();
}

void DrawBatch::FillSlotData(std::vector<uint16_t>& out) const {
    out.clear();
    if (shape_ == BatchShape::Instanced) {
        for (size_t i = 0; i < worlds_.size(); ++i) out.push_back(static_cast<uint16_t>(i));
        return;
    }
    UINT end = 0;
    for (const DrawRange& r : ranges_) end = std::max(end, r.hi);
    out.assign(end, 0);
    for (size_t i = 0; i < ranges_.size(); ++i)
        std::fill(out.begin() + ranges_[i].lo, out.begin() + ranges_[i].hi, slots_[i]);
}

// ---------------------------------------------------------------------------
// Drawing

HRESULT GlDevice::QueueDraw(const DrawRange& r) {
    const bool worldMatters = !layout_.rhw;
    // Lines drawn in copies go segment by segment, which an instanced draw
    // cannot; nor can ES's reshaped primitives, culled per world matrix.
    const bool instances = !DrawsLinesInCopies(r.type) && !EsReshapes(r.type);
    if (batch_.Add(r, state_.world, worldMatters, instances)) return D3D_OK;
    Flush();
    batch_.Add(r, state_.world, worldMatters, instances);
    return D3D_OK;
}

void GlDevice::Flush() {
    if (batch_.Empty()) return;
    const BatchShape shape = batch_.Shape();
    const DrawRange& head = batch_.Ranges().front();
    const bool perDraw = shape != BatchShape::OneWorld;
    // A one-world batch draws under its own matrix: the world may have been
    // set again since its last draw.
    const Mat4 current = state_.world;
    const bool swap = !perDraw && !SameMatrix(current, batch_.Worlds().front());
    if (swap) {
        state_.world = batch_.Worlds().front();
        dirty_ |= kDirtyTransform;
    }
    if (perDraw != perDrawMatrices_) {
        perDrawMatrices_ = perDraw;
        dirty_ |= kDirtyProgram;
    }
    if (SUCCEEDED(PrepareDraw(head.type, head.indexed))) {
        if (perDraw) SendDrawMatrices();
        DrawBatchNow();
        if (perDraw) glDisableVertexAttribArray(kAttrDrawSlot);
    }
    if (swap) {
        state_.world = current;
        dirty_ |= kDirtyTransform;
    }
    batch_.Clear();
}

// The matrices of each draw, as ApplyTransform computes them for one draw,
// into a buffer texture; and each vertex's (or instance's) index into them.
void GlDevice::SendDrawMatrices() {
    const std::vector<Mat4>& worlds = batch_.Worlds();
    drawMatrixData_.resize(worlds.size() * kDrawMatrixFloats);
    float* out = drawMatrixData_.data();
    for (const Mat4& w : worlds) {
        WorldTransform(w, out, out + 16, out + 32);
        out += kDrawMatrixFloats;
    }
    if (!drawMatrixBuffer_) {
        glGenBuffers(1, &drawMatrixBuffer_);
        glGenTextures(1, &drawMatrixTexture_);
        glGenBuffers(1, &drawSlotBuffer_);
    }
    if (GlEs()) {
        SendDrawMatricesAsImage();
    } else {
        // Fresh storage each time, so nothing waits for a draw still reading the last.
        glBindBuffer(GL_TEXTURE_BUFFER, drawMatrixBuffer_);
        const auto matrixBytes = static_cast<GLsizeiptr>(drawMatrixData_.size() * sizeof(float));
        glBufferData(GL_TEXTURE_BUFFER, matrixBytes, drawMatrixData_.data(), GL_STREAM_DRAW);
        glActiveTexture(GL_TEXTURE0 + kDrawMatrixUnit);
        glBindTexture(GL_TEXTURE_BUFFER, drawMatrixTexture_);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, drawMatrixBuffer_);
    }

    batch_.FillSlotData(drawSlotData_);
    glBindBuffer(GL_ARRAY_BUFFER, drawSlotBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(drawSlotData_.size() * sizeof(uint16_t)),
                 drawSlotData_.data(), GL_STREAM_DRAW);
    glVertexAttribIPointer(kAttrDrawSlot, 1, GL_UNSIGNED_SHORT, 0, nullptr);
    glVertexAttribDivisor(kAttrDrawSlot, batch_.Shape() == BatchShape::Instanced ? 1 : 0);
    glEnableVertexAttribArray(kAttrDrawSlot);
    glBindBuffer(GL_ARRAY_BUFFER, gl_.arrayBuffer);  // the stream's, as PrepareDraw left it
    VT_CHECK_GL("draw matrices");
}

// ES has no buffer textures: the same texels go, row by row, into a 2D
// float texture kDrawMatrixRow texels wide, which the vertex program reads
// at (i mod row, i / row).
void GlDevice::SendDrawMatricesAsImage() {
    constexpr GLsizei kRows = GLsizei((DrawBatch::kMaxDraws * kDrawMatrixFloats / 4 + kDrawMatrixRow - 1) /
                                      kDrawMatrixRow);
    glActiveTexture(GL_TEXTURE0 + kDrawMatrixUnit);
    glBindTexture(GL_TEXTURE_2D, drawMatrixTexture_);
    if (!drawMatrixImage_) {
        glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA32F, kDrawMatrixRow, kRows);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        drawMatrixImage_ = true;
    }
    glBindSampler(GLuint(kDrawMatrixUnit), 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    const size_t texels = drawMatrixData_.size() / 4;
    const size_t fullRows = texels / kDrawMatrixRow, rest = texels % kDrawMatrixRow;
    if (fullRows > 0)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kDrawMatrixRow, GLsizei(fullRows), GL_RGBA, GL_FLOAT,
                        drawMatrixData_.data());
    if (rest > 0)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(fullRows), GLsizei(rest), 1, GL_RGBA, GL_FLOAT,
                        drawMatrixData_.data() + fullRows * kDrawMatrixRow * 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

void GlDevice::DrawBatchNow() {
    if (!profileDraws_ || variants_.replaying) {
        IssueBatch();
        return;
    }
    // Alone: what was queued before is finished first, then this draw.
    if (!profileQuery_) glGenQueries(1, &profileQuery_);
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    // ES counts no samples, it only says whether any passed (then 1).
    const GLenum query = GlEs() ? GL_ANY_SAMPLES_PASSED : GL_SAMPLES_PASSED;
    glBeginQuery(query, profileQuery_);
    IssueBatch();
    glEndQuery(query);
    glFinish();
    DrawCost cost;
    cost.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    GLuint samples = 0;
    glGetQueryObjectuiv(profileQuery_, GL_QUERY_RESULT, &samples);
    cost.samples = samples;
    cost.state = CurrentRecipe(batch_.Ranges().front().type).Line();
    drawCosts_.push_back(std::move(cost));
}

void GlDevice::IssueBatch() {
    const std::vector<DrawRange>& ranges = batch_.Ranges();
    const DrawRange& head = ranges.front();
    MarkTargetDrawn();
    if (DrawsLinesInCopies(head.type)) {
        DrawLinesInCopies();
        return;
    }
    const GLenum mode = PrimitiveMode(head.type);
    const GLenum indexType = head.indexed && state_.indices->format == D3DFMT_INDEX32 ? GL_UNSIGNED_INT
                                                                                      : GL_UNSIGNED_SHORT;
    if (GlEs()) {
        IssueBatchEs(mode, indexType);
        return;
    }
    if (batch_.Shape() == BatchShape::Instanced) {
        const auto instances = static_cast<GLsizei>(batch_.Worlds().size());
        if (head.indexed)
            glDrawElementsInstancedBaseVertex(mode, head.count, indexType, IndexOffset(head.offset), instances,
                                              head.first);
        else
            glDrawArraysInstanced(mode, head.first, head.count, instances);
    } else if (ranges.size() == 1) {
        if (head.indexed)
            glDrawElementsBaseVertex(mode, head.count, indexType, IndexOffset(head.offset), head.first);
        else
            glDrawArrays(mode, head.first, head.count);
    } else {
        drawFirst_.clear();
        drawCount_.clear();
        drawOffset_.clear();
        for (const DrawRange& r : ranges) {
            drawFirst_.push_back(r.first);
            drawCount_.push_back(r.count);
            drawOffset_.push_back(IndexOffset(r.offset));
        }
        const auto n = static_cast<GLsizei>(ranges.size());
        if (head.indexed)
            glMultiDrawElementsBaseVertex(mode, drawCount_.data(), indexType, drawOffset_.data(), n,
                                          drawFirst_.data());
        else
            glMultiDrawArrays(mode, drawFirst_.data(), drawCount_.data(), n);
    }
    VT_CHECK_GL("draw");
    ++stats.glDraws;
}

void GlDevice::ReleaseBatchObjects() {
    batch_.Clear();
    if (esIndexBuffer_) glDeleteBuffers(1, &esIndexBuffer_);
    esIndexBuffer_ = 0;
    if (profileQuery_) glDeleteQueries(1, &profileQuery_);
    profileQuery_ = 0;
    if (!drawMatrixBuffer_) return;
    glDeleteBuffers(1, &drawMatrixBuffer_);
    glDeleteBuffers(1, &drawSlotBuffer_);
    glDeleteTextures(1, &drawMatrixTexture_);
    drawMatrixBuffer_ = drawSlotBuffer_ = drawMatrixTexture_ = 0;
    drawMatrixImage_ = false;
}

}  // namespace vt::d3d8
