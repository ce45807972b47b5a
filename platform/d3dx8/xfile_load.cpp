// D3DXLoadMeshFromX: file -> xfile::Scene -> FlatMesh -> ID3DXMesh.
//
// The mesh gets D3DFVF_XYZ | D3DFVF_NORMAL, plus D3DFVF_TEX1 when the file
// has texture coordinates. Faces are sorted by material (stable), so each
// subset is one run. Materials come back as D3DXMATERIAL records followed
// by their texture names in the same buffer; a file without a material list
// gives no buffer and a count of 0.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/xfile_scene.h"

namespace {

struct ComRelease {
    void operator()(IUnknown* p) const {
        if (p) p->Release();
    }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Whole file into memory. D3DERR_NOTFOUND when it cannot be opened.
HRESULT ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    std::unique_ptr<std::FILE, FileClose> f(std::fopen(native.c_str(), "rb"));
    if (!f) return D3DERR_NOTFOUND;
    struct stat st;
    if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return D3DERR_NOTFOUND;
    if (static_cast<uint64_t>(st.st_size) > xfile::kMaxFileBytes) return D3DXERR_INVALIDDATA;
    bytes.resize(static_cast<size_t>(st.st_size));
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return D3DERR_NOTFOUND;
    return S_OK;
}

// Three neighbours per face, one across each edge (v0 v1, v1 v2, v2 v0):
// the face that runs the same edge the other way.
std::vector<DWORD> Adjacency(const std::vector<uint32_t>& indices) {
    const size_t faces = indices.size() / 3;
    std::vector<DWORD> adj(faces * 3, 0xFFFFFFFFu);
    std::unordered_map<uint64_t, size_t> open;  // directed edge -> face * 3 + edge slot
    open.reserve(faces * 3);
    auto key = [](uint32_t a, uint32_t b) { return (static_cast<uint64_t>(a) << 32) | b; };
    for (size_t f = 0; f < faces; ++f)
        for (size_t e = 0; e < 3; ++e) {
            const uint32_t a = indices[f * 3 + e], b = indices[f * 3 + (e + 1) % 3];
            auto it = open.find(key(b, a));
            if (it != open.end()) {
                adj[f * 3 + e] = static_cast<DWORD>(it->second / 3);
                adj[it->second] = static_cast<DWORD>(f);
                open.erase(it);
            } else {
                open.emplace(key(a, b), f * 3 + e);
            }
        }
    return adj;
}

HRESULT MakeMaterialBuffer(const std::vector<xfile::Material>& materials, ID3DXBuffer** out) {
    size_t bytes = materials.size() * sizeof(D3DXMATERIAL);
    for (const xfile::Material& m : materials)
        if (m.hasTexture) bytes += m.texture.size() + 1;
    if (bytes > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    ID3DXBuffer* raw = nullptr;
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), &raw);
    if (FAILED(hr)) return hr;
    ComPtr<ID3DXBuffer> buffer(raw);
    if (buffer->GetBufferSize() < bytes) return E_FAIL;

    auto* base = static_cast<uint8_t*>(buffer->GetBufferPointer());
    auto* records = reinterpret_cast<D3DXMATERIAL*>(base);
    char* names = reinterpret_cast<char*>(base + materials.size() * sizeof(D3DXMATERIAL));
    for (size_t i = 0; i < materials.size(); ++i) {
        const xfile::Material& m = materials[i];
        D3DXMATERIAL& r = records[i];
        std::memset(&r, 0, sizeof r);
        r.MatD3D.Diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3]};
        r.MatD3D.Specular = {m.specular[0], m.specular[1], m.specular[2], 1.0f};
        r.MatD3D.Emissive = {m.emissive[0], m.emissive[1], m.emissive[2], 1.0f};
        r.MatD3D.Power = m.power;
        r.pTextureFilename = nullptr;
        if (m.hasTexture) {
            std::memcpy(names, m.texture.c_str(), m.texture.size() + 1);
            r.pTextureFilename = names;
            names += m.texture.size() + 1;
        }
    }
    *out = buffer.release();
    return S_OK;
}

HRESULT BuildMesh(const xfile::FlatMesh& flat, DWORD options, IDirect3DDevice8* device, ID3DXMesh** out,
                  std::vector<uint32_t>& sortedIndices) {
    const size_t nv = flat.positions.size();
    const size_t nf = flat.triangleCount();
    if (nv == 0 || nf == 0) return D3DXERR_INVALIDDATA;
    const bool wide = (options & D3DXMESH_32BIT) != 0;
    if (!wide && (nv > 0xFFFF || nf > 0xFFFF)) return D3DERR_INVALIDCALL;
    if (nv > 0xFFFFFFFEu || nf > 0x3FFFFFFFu) return D3DXERR_INVALIDDATA;

    const bool tex = !flat.texcoords.empty();
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | (tex ? D3DFVF_TEX1 : 0);
    ID3DXMesh* raw = nullptr;
    HRESULT hr = D3DXCreateMeshFVF(static_cast<DWORD>(nf), static_cast<DWORD>(nv), options, fvf, device, &raw);
    if (FAILED(hr)) return hr;
    ComPtr<ID3DXMesh> mesh(raw);

    // Faces in material order, stable within a material.
    std::vector<uint32_t> order(nf);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return flat.attributes[a] < flat.attributes[b]; });
    sortedIndices.resize(nf * 3);
    for (size_t i = 0; i < nf; ++i)
        for (size_t k = 0; k < 3; ++k) sortedIndices[i * 3 + k] = flat.indices[order[i] * 3 + k];

    BYTE* vb = nullptr;
    if (FAILED(hr = mesh->LockVertexBuffer(0, &vb))) return hr;
    const size_t stride = tex ? 32 : 24;
    for (size_t i = 0; i < nv; ++i) {
        float v[8] = {flat.positions[i].x, flat.positions[i].y, flat.positions[i].z,
                      flat.normals[i].x,   flat.normals[i].y,   flat.normals[i].z,
                      tex ? flat.texcoords[i].u : 0.0f, tex ? flat.texcoords[i].v : 0.0f};
        std::memcpy(vb + i * stride, v, stride);
    }
    mesh->UnlockVertexBuffer();

    BYTE* ib = nullptr;
    if (FAILED(hr = mesh->LockIndexBuffer(0, &ib))) return hr;
    if (wide) {
        std::memcpy(ib, sortedIndices.data(), sortedIndices.size() * sizeof(uint32_t));
    } else {
        auto* p = reinterpret_cast<uint16_t*>(ib);
        for (size_t i = 0; i < sortedIndices.size(); ++i) p[i] = static_cast<uint16_t>(sortedIndices[i]);
    }
    mesh->UnlockIndexBuffer();

    DWORD* attributes = nullptr;
    if (FAILED(hr = mesh->LockAttributeBuffer(0, &attributes))) return hr;
    for (size_t i = 0; i < nf; ++i) attributes[i] = flat.attributes[order[i]];
    mesh->UnlockAttributeBuffer();

    *out = mesh.release();
    return S_OK;
}

}  // namespace

HRESULT D3DXLoadMeshFromX(LPCSTR filename, DWORD options, IDirect3DDevice8* device, ID3DXBuffer** ppAdjacency,
                          ID3DXBuffer** ppMaterials, DWORD* pNumMaterials, ID3DXMesh** ppMesh) {
    if (ppAdjacency) *ppAdjacency = nullptr;
    if (ppMaterials) *ppMaterials = nullptr;
    if (pNumMaterials) *pNumMaterials = 0;
    if (ppMesh) *ppMesh = nullptr;
    if (filename == nullptr || device == nullptr || ppMesh == nullptr) return D3DERR_INVALIDCALL;

    try {
        std::vector<uint8_t> bytes;
        HRESULT hr = ReadWholeFile(filename, bytes);
        if (FAILED(hr)) return hr;
        xfile::Scene scene;
        if (FAILED(hr = xfile::ParseXFile(bytes.data(), bytes.size(), scene))) return hr;
        std::vector<uint8_t>().swap(bytes);
        xfile::FlatMesh flat;
        if (FAILED(hr = xfile::FlattenScene(scene, flat))) return hr;
        scene = xfile::Scene();

        ID3DXMesh* rawMesh = nullptr;
        std::vector<uint32_t> indices;
        if (FAILED(hr = BuildMesh(flat, options, device, &rawMesh, indices))) return hr;
        ComPtr<ID3DXMesh> mesh(rawMesh);

        ComPtr<ID3DXBuffer> materials;
        if (ppMaterials && !flat.materials.empty()) {
            ID3DXBuffer* raw = nullptr;
            if (FAILED(hr = MakeMaterialBuffer(flat.materials, &raw))) return hr;
            materials.reset(raw);
        }
        ComPtr<ID3DXBuffer> adjacency;
        if (ppAdjacency) {
            std::vector<DWORD> adj = Adjacency(indices);
            ID3DXBuffer* raw = nullptr;
            if (FAILED(hr = D3DXCreateBuffer(static_cast<DWORD>(adj.size() * sizeof(DWORD)), &raw))) return hr;
            adjacency.reset(raw);
            std::memcpy(adjacency->GetBufferPointer(), adj.data(), adj.size() * sizeof(DWORD));
        }

        if (pNumMaterials) *pNumMaterials = static_cast<DWORD>(flat.materials.size());
        if (ppMaterials) *ppMaterials = materials.release();
        if (ppAdjacency) *ppAdjacency = adjacency.release();
        *ppMesh = mesh.release();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
}
