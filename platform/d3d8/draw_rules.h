// What makes a DrawPrimitive or DrawIndexedPrimitive call valid, written
// once for every device implementation (the OpenGL device and the test
// device), as d3d8_defaults.h is for the default states.
//
//   vt::d3d8::DrawInputs in;           // what the device has bound
//   in.inScene = inScene_; in.fvf = fvf_; in.stride = stride_; ...
//   if (FAILED(vt::d3d8::CheckDraw(in, type, start, prims))) return D3DERR_INVALIDCALL;
//
// The rules: a draw happens inside BeginScene/EndScene; a stream with a
// flexible vertex format whose vertices fit the stride is bound and not
// locked; at least one whole primitive; every vertex read lies in the
// stream. Indexed draws also need bound, unlocked indices; the indices read
// lie in the index buffer, and each lies in [minIndex, minIndex + numVertices),
// a range that (offset by the base vertex index) lies in the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/d3d8/d3d8.h"

namespace vt::d3d8 {

// Vertices a draw of `prims` primitives reads: n, 2n, n + 1, 3n, n + 2, n + 2.
inline UINT VertexCount(D3DPRIMITIVETYPE type, UINT prims) {
    switch (type) {
    case D3DPT_POINTLIST: return prims;
    case D3DPT_LINELIST: return prims * 2;
    case D3DPT_LINESTRIP: return prims ? prims + 1 : 0;
    case D3DPT_TRIANGLELIST: return prims * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return prims ? prims + 2 : 0;
    }
    return 0;
}

// Bytes one vertex of a flexible vertex format takes (0: no position).
inline UINT FvfVertexSize(DWORD fvf) {
    static const UINT kPosition[8] = {0, 12, 16, 16, 20, 24, 28, 32};
    UINT size = kPosition[(fvf & D3DFVF_POSITION_MASK) >> 1];
    if (size == 0) return 0;
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    static const UINT kTexSet[4] = {8, 12, 16, 4};  // by D3DFVF_TEXTUREFORMATn code
    DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8) sets = 8;
    for (DWORD i = 0; i < sets; ++i) size += kTexSet[(fvf >> (16 + 2 * i)) & 3];
    return size;
}

// A bound buffer as the rules see it. `bytes` null: the contents are not
// known to the device (a foreign object), so nothing is checked against them.
struct BoundBuffer {
    bool bound = false;
    bool locked = false;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

struct DrawInputs {
    bool inScene = false;
    DWORD fvf = 0;
    UINT stride = 0;
    BoundBuffer stream;
    BoundBuffer indices;
    bool indices32 = false;
    UINT baseVertex = 0;
};

namespace detail {

// Vertices [first, first + count) lie in the stream.
inline bool StreamHolds(const DrawInputs& in, uint64_t first, uint64_t count) {
    if (!in.stream.bytes) return true;
    return (first + count) * in.stride <= in.stream.size;
}

inline HRESULT CheckCommon(const DrawInputs& in, D3DPRIMITIVETYPE type, UINT prims) {
    if (!in.inScene) return D3DERR_INVALIDCALL;
    if (!in.stream.bound || in.stream.locked) return D3DERR_INVALIDCALL;
    const UINT vertexSize = FvfVertexSize(in.fvf);
    if (vertexSize == 0 || in.stride < vertexSize) return D3DERR_INVALIDCALL;
    if (VertexCount(type, prims) == 0) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

}  // namespace detail

inline HRESULT CheckDraw(const DrawInputs& in, D3DPRIMITIVETYPE type, UINT startVertex, UINT prims) {
    const HRESULT hr = detail::CheckCommon(in, type, prims);
    if (FAILED(hr)) return hr;
    return detail::StreamHolds(in, startVertex, VertexCount(type, prims)) ? D3D_OK : D3DERR_INVALIDCALL;
}

inline HRESULT CheckIndexedDraw(const DrawInputs& in, D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                UINT startIndex, UINT prims) {
    HRESULT hr = detail::CheckCommon(in, type, prims);
    if (FAILED(hr)) return hr;
    if (!in.indices.bound || in.indices.locked || numVertices == 0) return D3DERR_INVALIDCALL;
    if (!detail::StreamHolds(in, uint64_t(in.baseVertex) + minIndex, numVertices)) return D3DERR_INVALIDCALL;
    if (!in.indices.bytes) return D3D_OK;
    const UINT count = VertexCount(type, prims);
    const size_t indexSize = in.indices32 ? 4 : 2;
    if ((uint64_t(startIndex) + count) * indexSize > in.indices.size) return D3DERR_INVALIDCALL;
    const uint8_t* p = in.indices.bytes + size_t(startIndex) * indexSize;
    for (UINT i = 0; i < count; ++i, p += indexSize) {
        uint32_t index;
        if (in.indices32) {
            std::memcpy(&index, p, 4);
        } else {
            uint16_t narrow;
            std::memcpy(&narrow, p, 2);
            index = narrow;
        }
        if (index < minIndex || index - minIndex >= numVertices) return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

}  // namespace vt::d3d8
