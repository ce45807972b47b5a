// Draws the OpenGL device holds back so that the draws after them, with the
// same state, go to GL in the same call.
//
// Usage (GlDevice): a draw that passes its checks is added to the batch;
// when it cannot join, the batch is drawn first (GlDevice::Flush) and the
// draw starts a new one. Every call that changes state, locks a resource,
// clears, changes the target, reads pixels back or presents draws the batch
// first, so what is queued shares all of the current state except the world
// matrix, which the batch keeps per draw. A batch takes one of three shapes:
//
//   OneWorld     every draw under one world matrix: a multi-draw
//   Instanced    one range drawn again and again, a world matrix each time:
//                an instanced draw
//   VertexSlots  ranges that share no vertex, each under its own world
//                matrix: a multi-draw whose vertices carry the index of their
//                draw's matrices
//
// The last two draw with a vertex program that reads its matrices per draw
// (kVkDrawMatrices); the matrices are the ones the device would have sent
// for each draw alone, so the pixels are the same.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/gl_common.h"

namespace vt::d3d8 {

// The part of a draw that differs between draws of one batch.
struct DrawRange {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    bool indexed = false;
    GLint first = 0;       // first vertex, or the base vertex of an indexed draw
    GLsizei count = 0;     // vertices, or indices
    uintptr_t offset = 0;  // indexed: byte offset of the first index
    UINT lo = 0, hi = 0;   // the vertices the draw reads: [lo, hi)

    bool SameAs(const DrawRange& o) const {
        return first == o.first && count == o.count && offset == o.offset && lo == o.lo && hi == o.hi;
    }
};

enum class BatchShape : uint8_t { Empty, OneWorld, Instanced, VertexSlots };

inline bool SameMatrix(const Mat4& a, const Mat4& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class DrawBatch {
public:
    // Draws one batch holds at most (and the largest matrix index a vertex
    // carries); a VertexSlots batch, whose joining draws are checked against
    // every draw in it, holds fewer.
    static constexpr size_t kMaxDraws = 4096;
    static constexpr size_t kMaxSlotDraws = 256;

    BatchShape Shape() const { return shape_; }
    bool Empty() const { return shape_ == BatchShape::Empty; }
    // Adds a draw made under `world`; worldMatters is false when the vertices
    // are not transformed (pre-transformed). False: it cannot join; draw the
    // batch, and the draw then starts a new one. Without allowInstances a
    // range drawn again never becomes an instanced draw.
    bool Add(const DrawRange& r, const Mat4& world, bool worldMatters, bool allowInstances = true);
    void Clear();

    // The draws (Instanced: the one range), and the world matrices: the one
    // of OneWorld, one per instance in Instanced, one per matrix index in
    // VertexSlots.
    const std::vector<DrawRange>& Ranges() const { return ranges_; }
    const std::vector<Mat4>& Worlds() const { return worlds_; }
    // VertexSlots: the index into Worlds() of each draw.
    const std::vector<uint16_t>& Slots() const { return slots_; }
    size_t Draws() const { return shape_ == BatchShape::Instanced ? worlds_.size() : ranges_.size(); }

    // Per-vertex matrix indices for the draws: Instanced, one per instance;
    // VertexSlots, one per vertex up to the last vertex read.
    void FillSlotData(std::vector<uint16_t>& out) const;

private:
    // Whether r reads a vertex that a draw under another matrix index reads.
    bool SharesVertices(const DrawRange& r, int exceptSlot) const;

    BatchShape shape_ = BatchShape::Empty;
    std::vector<DrawRange> ranges_;
    std::vector<Mat4> worlds_;
    std::vector<uint16_t> slots_;
};

}  // namespace vt::d3d8
