// Any bytes as a .x file into a mesh, through the loader the show calls.
// Odd-sized inputs ask for 32-bit indices, even-sized ones for 16-bit.
#include <cstddef>
#include <cstdint>

#include "platform/d3dx8/d3dx8.h"
#include "tests/fuzz/fuzz_device.h"
#include "tests/fuzz/mem_file.h"

using vt::fuzz::Fail;

namespace {

// Every index names a vertex and every face has its three neighbours.
void CheckMesh(ID3DXMesh* mesh, ID3DXBuffer* adjacency, bool wide) {
    const DWORD faces = mesh->GetNumFaces(), vertices = mesh->GetNumVertices();
    if (faces == 0 || vertices == 0) Fail("empty mesh accepted");
    if (!adjacency || adjacency->GetBufferSize() != faces * 3 * sizeof(DWORD)) Fail("adjacency size");
    BYTE* ib = nullptr;
    if (mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib) != D3D_OK) Fail("index buffer");
    for (DWORD i = 0; i < faces * 3; ++i) {
        const DWORD v = wide ? reinterpret_cast<const uint32_t*>(ib)[i] : reinterpret_cast<const uint16_t*>(ib)[i];
        if (v >= vertices) Fail("index outside the vertices");
    }
    mesh->UnlockIndexBuffer();
    const auto* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    for (DWORD i = 0; i < faces * 3; ++i)
        if (adj[i] != 0xFFFFFFFF && adj[i] >= faces) Fail("adjacency outside the faces");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vt::fuzz::MemFile file("mesh");
    vt::test::RecordingDevice dev(vt::fuzz::SmallDevice());

    const bool wide = size & 1;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    const HRESULT hr = D3DXLoadMeshFromX(file.Write(data, size), D3DXMESH_MANAGED | (wide ? D3DXMESH_32BIT : 0),
                                         &dev, &adjacency, &materials, &count, &mesh);
    if (FAILED(hr)) {
        if (mesh || adjacency || materials || count) Fail("output set on failure");
    } else {
        if (!mesh) Fail("no mesh on success");
        CheckMesh(mesh, adjacency, wide);
        if ((count == 0) != (materials == nullptr)) Fail("material count and buffer disagree");
        if (materials) {
            if (materials->GetBufferSize() < count * sizeof(D3DXMATERIAL)) Fail("material buffer size");
            const auto* m = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
            for (DWORD i = 0; i < count; ++i) {
                const char* name = m[i].pTextureFilename;
                if (!name) continue;
                // The name lies in the buffer and ends there.
                const auto* base = static_cast<const char*>(materials->GetBufferPointer());
                const char* end = base + materials->GetBufferSize();
                if (name < base || name >= end) Fail("texture name outside the buffer");
                while (name < end && *name) ++name;
                if (name == end) Fail("texture name unterminated");
            }
            materials->Release();
        }
        adjacency->Release();
        if (mesh->Release() != 0) Fail("mesh still referenced");
    }
    if (dev.LiveResources() != 0) Fail("resources left behind");
    return 0;
}
