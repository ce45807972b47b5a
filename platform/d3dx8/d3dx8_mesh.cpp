// Indexed meshes on device vertex and index buffers, plus the sphere
// builder, normal and bounding-sphere computations.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "platform/d3dx8/d3dx8.h"

namespace {

constexpr DWORD kNoFace = 0xFFFFFFFFu;

// Byte offsets of each vertex field of a vertex-format code (-1: absent).
struct FvfLayout {
    int posSize = 0;
    int normal = -1, psize = -1, diffuse = -1, specular = -1;
    int texCount = 0;
    int tex[8] = {}, texSize[8] = {};
    UINT stride = 0;

    explicit FvfLayout(DWORD fvf) {
        static const int kPos[8] = {0, 12, 16, 16, 20, 24, 28, 32};
        static const int kTex[4] = {8, 12, 16, 4};
        int at = posSize = kPos[(fvf & D3DFVF_POSITION_MASK) >> 1];
        if (fvf & D3DFVF_NORMAL) normal = std::exchange(at, at + 12);
        if (fvf & D3DFVF_PSIZE) psize = std::exchange(at, at + 4);
        if (fvf & D3DFVF_DIFFUSE) diffuse = std::exchange(at, at + 4);
        if (fvf & D3DFVF_SPECULAR) specular = std::exchange(at, at + 4);
        texCount = std::min<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
        for (int i = 0; i < texCount; ++i) {
            texSize[i] = kTex[(fvf >> (16 + 2 * i)) & 3];
            tex[i] = std::exchange(at, at + texSize[i]);
        }
        stride = static_cast<UINT>(at);
    }
};

// Copies one field when both layouts have it; the destination is pre-zeroed.
void CopyField(BYTE* dst, int dstOff, const BYTE* src, int srcOff, int size) {
    if (dstOff >= 0 && srcOff >= 0 && size > 0) std::memcpy(dst + dstOff, src + srcOff, size);
}

D3DPOOL PoolOf(DWORD options, DWORD systemBit, DWORD managedBit) {
    if (options & systemBit) return D3DPOOL_SYSTEMMEM;
    if (options & managedBit) return D3DPOOL_MANAGED;
    return D3DPOOL_DEFAULT;
}

// Locks a device buffer for the lifetime of the object.
template <class Buffer>
class BufferLock {
public:
    BufferLock(Buffer* buffer, DWORD flags) : buffer_(buffer) {
        if (FAILED(result_ = buffer_->Lock(0, 0, &data_, flags))) data_ = nullptr;
    }
    ~BufferLock() {
        if (data_) buffer_->Unlock();
    }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;
    BYTE* Data() const { return data_; }
    HRESULT Result() const { return result_; }

private:
    Buffer* buffer_;
    BYTE* data_ = nullptr;
    HRESULT result_ = E_FAIL;
};

class Mesh final : public ID3DXMesh {
public:
    Mesh(IDirect3DDevice8* device, DWORD faces, DWORD vertices, DWORD options, DWORD fvf)
        : device_(device), faces_(faces), vertices_(vertices), options_(options), fvf_(fvf) {
        device_->AddRef();
    }

    // Creates the buffers and zero-fills them, so an unfilled mesh is still
    // well defined.
    HRESULT Init() {
        const UINT stride = D3DXGetFVFVertexSize(fvf_);
        try {
            attributes_.assign(faces_, 0);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        DWORD vbUsage = 0, ibUsage = 0;
        if (options_ & D3DXMESH_VB_WRITEONLY) vbUsage |= D3DUSAGE_WRITEONLY;
        if (options_ & D3DXMESH_VB_DYNAMIC) vbUsage |= D3DUSAGE_DYNAMIC;
        if (options_ & D3DXMESH_IB_WRITEONLY) ibUsage |= D3DUSAGE_WRITEONLY;
        if (options_ & D3DXMESH_IB_DYNAMIC) ibUsage |= D3DUSAGE_DYNAMIC;
        HRESULT hr = device_->CreateVertexBuffer(vertices_ * stride, vbUsage, fvf_,
                                                 PoolOf(options_, D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED), &vb_);
        if (FAILED(hr)) return hr;
        hr = device_->CreateIndexBuffer(faces_ * 3 * IndexSize(), ibUsage,
                                        Wide() ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                        PoolOf(options_, D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED), &ib_);
        if (FAILED(hr)) return hr;
        {
            BufferLock<IDirect3DVertexBuffer8> v(vb_, 0);
            if (!v.Data()) return v.Result();
            std::memset(v.Data(), 0, static_cast<size_t>(vertices_) * stride);
        }
        BufferLock<IDirect3DIndexBuffer8> i(ib_, 0);
        if (!i.Data()) return i.Result();
        std::memset(i.Data(), 0, static_cast<size_t>(faces_) * 3 * IndexSize());
        return D3D_OK;
    }

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT DrawSubset(DWORD attribId) override {
        const std::vector<D3DXATTRIBUTERANGE>& ranges = Ranges();
        bool bound = false;
        for (const D3DXATTRIBUTERANGE& r : ranges) {
            if (r.AttribId != attribId) continue;
            if (!bound) {
                HRESULT hr = device_->SetStreamSource(0, vb_, D3DXGetFVFVertexSize(fvf_));
                if (SUCCEEDED(hr)) hr = device_->SetIndices(ib_, 0);
                if (SUCCEEDED(hr)) hr = device_->SetVertexShader(fvf_);
                if (FAILED(hr)) return hr;
                bound = true;
            }
            const HRESULT hr = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, r.VertexStart, r.VertexCount,
                                                             r.FaceStart * 3, r.FaceCount);
            if (FAILED(hr)) return hr;
        }
        return D3D_OK;
    }

    DWORD GetNumFaces() override { return faces_; }
    DWORD GetNumVertices() override { return vertices_; }
    DWORD GetFVF() override { return fvf_; }
    DWORD GetOptions() override { return options_; }

    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override {
        if (!ppDevice) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *ppDevice = device_;
        return D3D_OK;
    }

    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** ppClone) override;

    HRESULT GetVertexBuffer(IDirect3DVertexBuffer8** ppVB) override {
        if (!ppVB) return D3DERR_INVALIDCALL;
        vb_->AddRef();
        *ppVB = vb_;
        return D3D_OK;
    }
    HRESULT GetIndexBuffer(IDirect3DIndexBuffer8** ppIB) override {
        if (!ppIB) return D3DERR_INVALIDCALL;
        ib_->AddRef();
        *ppIB = ib_;
        return D3D_OK;
    }
    HRESULT LockVertexBuffer(DWORD flags, BYTE** ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        return vb_->Lock(0, 0, ppData, flags);
    }
    HRESULT UnlockVertexBuffer() override { return vb_->Unlock(); }
    HRESULT LockIndexBuffer(DWORD flags, BYTE** ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        return ib_->Lock(0, 0, ppData, flags);
    }
    HRESULT UnlockIndexBuffer() override { return ib_->Unlock(); }
    HRESULT LockAttributeBuffer(DWORD /*flags*/, DWORD** ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        *ppData = attributes_.data();
        rangesValid_ = false;  // the caller may rewrite the ids
        return D3D_OK;
    }
    HRESULT UnlockAttributeBuffer() override {
        rangesValid_ = false;
        return D3D_OK;
    }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override {
        if (!size) return D3DERR_INVALIDCALL;
        const std::vector<D3DXATTRIBUTERANGE>& ranges = Ranges();
        if (table) std::copy_n(ranges.begin(), std::min<size_t>(*size, ranges.size()), table);
        *size = static_cast<DWORD>(ranges.size());
        return D3D_OK;
    }

    bool Wide() const { return (options_ & D3DXMESH_32BIT) != 0; }
    UINT IndexSize() const { return Wide() ? 4 : 2; }
    IDirect3DVertexBuffer8* VB() const { return vb_; }
    IDirect3DIndexBuffer8* IB() const { return ib_; }
    std::vector<DWORD>& Attributes() { return attributes_; }

private:
    ~Mesh() override {
        if (ib_) ib_->Release();
        if (vb_) vb_->Release();
        device_->Release();
    }

    // Runs of consecutive faces with the same id. The index buffer can be
    // rewritten behind the mesh's back, so each run covers every vertex.
    const std::vector<D3DXATTRIBUTERANGE>& Ranges() {
        if (rangesValid_) return ranges_;
        ranges_.clear();
        for (DWORD f = 0; f < faces_; ++f) {
            if (ranges_.empty() || ranges_.back().AttribId != attributes_[f]) {
                ranges_.push_back({attributes_[f], f, 0, 0, vertices_});
            }
            ++ranges_.back().FaceCount;
        }
        rangesValid_ = true;
        return ranges_;
    }

    IDirect3DDevice8* device_;
    IDirect3DVertexBuffer8* vb_ = nullptr;
    IDirect3DIndexBuffer8* ib_ = nullptr;
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> ranges_;
    bool rangesValid_ = false;
    DWORD faces_, vertices_, options_, fvf_;
    std::atomic<ULONG> refs_{1};
};

// Reads index k of a 16- or 32-bit index array.
DWORD IndexAt(const BYTE* indices, bool wide, size_t k) {
    if (wide) {
        DWORD v;
        std::memcpy(&v, indices + k * 4, 4);
        return v;
    }
    WORD v;
    std::memcpy(&v, indices + k * 2, 2);
    return v;
}

void StoreIndex(BYTE* indices, bool wide, size_t k, DWORD value) {
    if (wide) {
        std::memcpy(indices + k * 4, &value, 4);
    } else {
        const WORD v = static_cast<WORD>(value);
        std::memcpy(indices + k * 2, &v, 2);
    }
}

HRESULT CreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice8* device,
                   Mesh** out) {
    *out = nullptr;
    const UINT stride = D3DXGetFVFVertexSize(fvf);
    if (!device || numFaces == 0 || numVertices == 0 || (fvf & D3DFVF_POSITION_MASK) == 0 || stride == 0)
        return D3DERR_INVALIDCALL;
    if (options & D3DXMESH_32BIT) {
        // Buffer sizes are 32-bit byte counts.
        if (numFaces > 0xFFFFFFFFu / 12 || numVertices > 0xFFFFFFFFu / stride) return D3DERR_INVALIDCALL;
    } else if (numFaces > 65535 || numVertices > 65535) {
        return D3DERR_INVALIDCALL;
    }
    Mesh* mesh = new (std::nothrow) Mesh(device, numFaces, numVertices, options, fvf);
    if (!mesh) return E_OUTOFMEMORY;
    const HRESULT hr = mesh->Init();
    if (FAILED(hr)) {
        mesh->Release();
        return hr;
    }
    *out = mesh;
    return D3D_OK;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** ppClone) {
    if (!ppClone) return D3DERR_INVALIDCALL;
    *ppClone = nullptr;
    Mesh* clone = nullptr;
    HRESULT hr = CreateMesh(faces_, vertices_, options, fvf, device ? device : device_, &clone);
    if (FAILED(hr)) return hr;
    {
        const FvfLayout from(fvf_), to(fvf);
        BufferLock<IDirect3DVertexBuffer8> src(vb_, D3DLOCK_READONLY);
        BufferLock<IDirect3DVertexBuffer8> dst(clone->VB(), 0);
        hr = !src.Data() ? src.Result() : !dst.Data() ? dst.Result() : D3D_OK;
        if (SUCCEEDED(hr)) {
            for (DWORD v = 0; v < vertices_; ++v) {
                const BYTE* s = src.Data() + static_cast<size_t>(v) * from.stride;
                BYTE* d = dst.Data() + static_cast<size_t>(v) * to.stride;
                CopyField(d, 0, s, 0, std::min(from.posSize, to.posSize));
                CopyField(d, to.normal, s, from.normal, 12);
                CopyField(d, to.psize, s, from.psize, 4);
                CopyField(d, to.diffuse, s, from.diffuse, 4);
                CopyField(d, to.specular, s, from.specular, 4);
                for (int t = 0; t < std::min(from.texCount, to.texCount); ++t)
                    CopyField(d, to.tex[t], s, from.tex[t], std::min(from.texSize[t], to.texSize[t]));
            }
        }
    }
    if (SUCCEEDED(hr)) {
        BufferLock<IDirect3DIndexBuffer8> src(ib_, D3DLOCK_READONLY);
        BufferLock<IDirect3DIndexBuffer8> dst(clone->IB(), 0);
        hr = !src.Data() ? src.Result() : !dst.Data() ? dst.Result() : D3D_OK;
        if (SUCCEEDED(hr)) {
            for (size_t k = 0; k < static_cast<size_t>(faces_) * 3; ++k)
                StoreIndex(dst.Data(), clone->Wide(), k, IndexAt(src.Data(), Wide(), k));
        }
    }
    if (FAILED(hr)) {
        clone->Release();
        return hr;
    }
    clone->Attributes() = attributes_;
    *ppClone = clone;
    return D3D_OK;
}

// Three neighbours per face, one across each edge (v0 v1, v1 v2, v2 v0).
std::vector<DWORD> Adjacency(const std::vector<DWORD>& indices) {
    const size_t faces = indices.size() / 3;
    std::vector<DWORD> adj(faces * 3, kNoFace);
    std::map<std::pair<DWORD, DWORD>, std::pair<DWORD, int>> open;  // edge -> (face, edge slot)
    for (size_t f = 0; f < faces; ++f) {
        for (int e = 0; e < 3; ++e) {
            const DWORD a = indices[f * 3 + e], b = indices[f * 3 + (e + 1) % 3];
            auto it = open.find({b, a});
            if (it != open.end()) {
                adj[f * 3 + e] = it->second.first;
                adj[it->second.first * 3 + it->second.second] = static_cast<DWORD>(f);
                open.erase(it);
            } else {
                open[{a, b}] = {static_cast<DWORD>(f), e};
            }
        }
    }
    return adj;
}

}  // namespace

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice8* device,
                          ID3DXMesh** ppMesh) {
    if (!ppMesh) return D3DERR_INVALIDCALL;
    Mesh* mesh = nullptr;
    const HRESULT hr = CreateMesh(numFaces, numVertices, options, fvf, device, &mesh);
    *ppMesh = mesh;
    return hr;
}

HRESULT D3DXCreateSphere(IDirect3DDevice8* device, float radius, UINT slices, UINT stacks, ID3DXMesh** ppMesh,
                         ID3DXBuffer** ppAdjacency) {
    if (ppAdjacency) *ppAdjacency = nullptr;
    if (!ppMesh) return D3DERR_INVALIDCALL;
    *ppMesh = nullptr;
    if (!device || radius < 0.0f || slices < 2 || stacks < 2) return D3DERR_INVALIDCALL;
    slices = std::min(slices, 240u);
    stacks = std::min(stacks, 240u);
    const DWORD numVertices = slices * (stacks - 1) + 2;
    const DWORD numFaces = 2 * slices * (stacks - 1);
    // The largest clamped spheres have more faces than 16-bit meshes allow.
    const DWORD options = D3DXMESH_MANAGED | (numFaces > 65535 ? D3DXMESH_32BIT : 0);
    Mesh* mesh = nullptr;
    HRESULT hr = CreateMesh(numFaces, numVertices, options, D3DFVF_XYZ | D3DFVF_NORMAL, device, &mesh);
    if (FAILED(hr)) return hr;

    // Vertex (slice k, ring s) of the rings between the poles.
    auto v = [slices](UINT k, UINT s) { return 1 + s * slices + k % slices; };
    std::vector<DWORD> idx;
    idx.reserve(static_cast<size_t>(numFaces) * 3);
    auto face = [&idx](DWORD a, DWORD b, DWORD c) { idx.insert(idx.end(), {a, b, c}); };
    for (UINT k = 1; k <= slices; ++k) face(0, v(k, 0), v(k - 1, 0));
    for (UINT s = 1; s + 1 < stacks; ++s) {
        for (UINT k = 1; k <= slices; ++k) {
            face(v(k - 1, s - 1), v(k, s - 1), v(k - 1, s));
            face(v(k, s - 1), v(k, s), v(k - 1, s));
        }
    }
    const DWORD pole = numVertices - 1;
    for (UINT k = 1; k <= slices; ++k) face(v(k - 1, stacks - 2), v(k, stacks - 2), pole);

    {
        BufferLock<IDirect3DVertexBuffer8> vb(mesh->VB(), 0);
        hr = vb.Result();
        if (vb.Data()) {
            float* p = reinterpret_cast<float*>(vb.Data());
            auto put = [&p, radius](float x, float y, float z) {
                *p++ = radius * x, *p++ = radius * y, *p++ = radius * z;
                *p++ = x, *p++ = y, *p++ = z;
            };
            put(0.0f, 0.0f, 1.0f);
            for (UINT s = 0; s + 1 < stacks; ++s) {
                const float theta = (s + 1) * D3DX_PI / stacks;
                for (UINT k = 0; k < slices; ++k) {
                    const float phi = D3DX_PI / 2 - 2 * D3DX_PI * k / slices;
                    put(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
                }
            }
            put(0.0f, 0.0f, -1.0f);
        }
    }
    if (SUCCEEDED(hr)) {
        BufferLock<IDirect3DIndexBuffer8> ib(mesh->IB(), 0);
        hr = ib.Result();
        if (ib.Data())
            for (size_t k = 0; k < idx.size(); ++k) StoreIndex(ib.Data(), mesh->Wide(), k, idx[k]);
    }
    if (SUCCEEDED(hr) && ppAdjacency) {
        const std::vector<DWORD> adj = Adjacency(idx);
        hr = D3DXCreateBuffer(static_cast<DWORD>(adj.size() * sizeof(DWORD)), ppAdjacency);
        if (SUCCEEDED(hr)) std::memcpy((*ppAdjacency)->GetBufferPointer(), adj.data(), adj.size() * sizeof(DWORD));
    }
    if (FAILED(hr)) {
        mesh->Release();
        return hr;
    }
    *ppMesh = mesh;
    return D3D_OK;
}

HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* /*adjacency*/) {
    if (!mesh) return D3DERR_INVALIDCALL;
    const DWORD fvf = mesh->GetFVF();
    const FvfLayout layout(fvf);
    if (layout.normal < 0 || layout.posSize < 12) return D3DERR_INVALIDCALL;
    const DWORD nv = mesh->GetNumVertices(), nf = mesh->GetNumFaces();
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;

    BYTE* indices = nullptr;
    HRESULT hr = mesh->LockIndexBuffer(D3DLOCK_READONLY, &indices);
    if (FAILED(hr)) return hr;
    BYTE* verts = nullptr;
    hr = mesh->LockVertexBuffer(0, &verts);
    if (FAILED(hr)) {
        mesh->UnlockIndexBuffer();
        return hr;
    }
    auto pos = [&](DWORD i) {
        D3DXVECTOR3 p;
        std::memcpy(&p, verts + static_cast<size_t>(i) * layout.stride, sizeof p);
        return p;
    };
    // Kept between calls: the water recomputes its normals every frame.
    static thread_local std::vector<D3DXVECTOR3> sums;
    sums.assign(nv, D3DXVECTOR3());
    for (DWORD f = 0; f < nf; ++f) {
        const DWORD a = IndexAt(indices, wide, f * 3ull), b = IndexAt(indices, wide, f * 3ull + 1),
                    c = IndexAt(indices, wide, f * 3ull + 2);
        if (a >= nv || b >= nv || c >= nv) continue;  // a face past the filled vertices
        const D3DXVECTOR3 p0 = pos(a), e1 = p0 - pos(b), e2 = p0 - pos(c);
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);  // length = twice the face's area
        sums[a] += n;
        sums[b] += n;
        sums[c] += n;
    }
    for (DWORD i = 0; i < nv; ++i) {
        D3DXVec3Normalize(&sums[i], &sums[i]);
        std::memcpy(verts + static_cast<size_t>(i) * layout.stride + layout.normal, &sums[i], sizeof sums[i]);
    }
    mesh->UnlockVertexBuffer();
    mesh->UnlockIndexBuffer();
    return D3D_OK;
}

HRESULT D3DXComputeBoundingSphere(const void* pointsFVF, DWORD numVertices, DWORD fvf, D3DXVECTOR3* center,
                                  float* radius) {
    const UINT stride = D3DXGetFVFVertexSize(fvf);
    if (!pointsFVF || !center || !radius || numVertices == 0 || (fvf & D3DFVF_POSITION_MASK) == 0)
        return D3DERR_INVALIDCALL;
    const BYTE* base = static_cast<const BYTE*>(pointsFVF);
    auto pos = [&](DWORD i) {
        float p[3];
        std::memcpy(p, base + static_cast<size_t>(i) * stride, sizeof p);
        return D3DXVECTOR3(p[0], p[1], p[2]);
    };
    double sx = 0, sy = 0, sz = 0;
    for (DWORD i = 0; i < numVertices; ++i) {
        const D3DXVECTOR3 p = pos(i);
        sx += p.x, sy += p.y, sz += p.z;
    }
    const D3DXVECTOR3 c(static_cast<float>(sx / numVertices), static_cast<float>(sy / numVertices),
                        static_cast<float>(sz / numVertices));
    float r = 0.0f;
    for (DWORD i = 0; i < numVertices; ++i) {
        const D3DXVECTOR3 d = pos(i) - c;
        r = std::max(r, D3DXVec3Length(&d));
    }
    *center = c;
    *radius = r;
    return D3D_OK;
}
