// Vertex sizes, result-code names and the plain memory buffer.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/d3dx8/d3dx8.h"

UINT D3DXGetFVFVertexSize(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: size = 12; break;
        case D3DFVF_XYZRHW: size = 16; break;
        case D3DFVF_XYZB1: size = 16; break;
        case D3DFVF_XYZB2: size = 20; break;
        case D3DFVF_XYZB3: size = 24; break;
        case D3DFVF_XYZB4: size = 28; break;
        case D3DFVF_XYZB5: size = 32; break;
        default: break;
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8) sets = 8;
    for (UINT i = 0; i < sets; ++i) {
        switch ((fvf >> (16 + 2 * i)) & 3) {
            case D3DFVF_TEXTUREFORMAT1: size += 4; break;
            case D3DFVF_TEXTUREFORMAT2: size += 8; break;
            case D3DFVF_TEXTUREFORMAT3: size += 12; break;
            case D3DFVF_TEXTUREFORMAT4: size += 16; break;
        }
    }
    return size;
}

namespace {

struct ErrorName {
    HRESULT code;
    const char* name;
};

#define VT_ERROR_NAME(code) {code, #code}
const ErrorName kErrorNames[] = {
    VT_ERROR_NAME(S_OK),
    VT_ERROR_NAME(E_FAIL),
    VT_ERROR_NAME(E_NOTIMPL),
    VT_ERROR_NAME(E_OUTOFMEMORY),
    VT_ERROR_NAME(D3DERR_WRONGTEXTUREFORMAT),
    VT_ERROR_NAME(D3DERR_UNSUPPORTEDCOLOROPERATION),
    VT_ERROR_NAME(D3DERR_UNSUPPORTEDCOLORARG),
    VT_ERROR_NAME(D3DERR_UNSUPPORTEDALPHAOPERATION),
    VT_ERROR_NAME(D3DERR_UNSUPPORTEDALPHAARG),
    VT_ERROR_NAME(D3DERR_TOOMANYOPERATIONS),
    VT_ERROR_NAME(D3DERR_CONFLICTINGTEXTUREFILTER),
    VT_ERROR_NAME(D3DERR_UNSUPPORTEDFACTORVALUE),
    VT_ERROR_NAME(D3DERR_CONFLICTINGRENDERSTATE),
    VT_ERROR_NAME(D3DERR_UNSUPPORTEDTEXTUREFILTER),
    VT_ERROR_NAME(D3DERR_CONFLICTINGTEXTUREPALETTE),
    VT_ERROR_NAME(D3DERR_DRIVERINTERNALERROR),
    VT_ERROR_NAME(D3DERR_NOTFOUND),
    VT_ERROR_NAME(D3DERR_MOREDATA),
    VT_ERROR_NAME(D3DERR_DEVICELOST),
    VT_ERROR_NAME(D3DERR_DEVICENOTRESET),
    VT_ERROR_NAME(D3DERR_NOTAVAILABLE),
    VT_ERROR_NAME(D3DERR_OUTOFVIDEOMEMORY),
    VT_ERROR_NAME(D3DERR_INVALIDDEVICE),
    VT_ERROR_NAME(D3DERR_INVALIDCALL),
    VT_ERROR_NAME(D3DXERR_INVALIDMESH),
    VT_ERROR_NAME(D3DXERR_CANNOTATTRSORT),
    VT_ERROR_NAME(D3DXERR_SKINNINGNOTSUPPORTED),
    VT_ERROR_NAME(D3DXERR_TOOMANYINFLUENCES),
    VT_ERROR_NAME(D3DXERR_INVALIDDATA),
    VT_ERROR_NAME(D3DXERR_CANNOTMODIFYINDEXBUFFER),
};
#undef VT_ERROR_NAME

class Buffer final : public ID3DXBuffer {
public:
    Buffer(BYTE* data, DWORD size) : data_(data), size_(size) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    void* GetBufferPointer() override { return data_; }
    DWORD GetBufferSize() override { return size_; }

private:
    ~Buffer() override { delete[] data_; }
    BYTE* data_;
    DWORD size_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace

HRESULT D3DXGetErrorStringA(HRESULT hr, char* buffer, UINT bufferLen) {
    if (!buffer || bufferLen == 0) return D3DERR_INVALIDCALL;
    char text[64];
    const char* name = nullptr;
    for (const ErrorName& e : kErrorNames) {
        if (e.code == hr) {
            name = e.name;
            break;
        }
    }
    if (!name) {
        std::snprintf(text, sizeof text, "Unrecognized error: 0x%08x", static_cast<unsigned>(hr));
        name = text;
    }
    const size_t n = std::min<size_t>(std::strlen(name), bufferLen - 1);
    std::memcpy(buffer, name, n);
    buffer[n] = '\0';
    return D3D_OK;
}

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** ppBuffer) {
    if (!ppBuffer) return D3DERR_INVALIDCALL;
    *ppBuffer = nullptr;
    BYTE* data = new (std::nothrow) BYTE[numBytes ? numBytes : 1]();
    if (!data) return E_OUTOFMEMORY;
    Buffer* b = new (std::nothrow) Buffer(data, numBytes);
    if (!b) {
        delete[] data;
        return E_OUTOFMEMORY;
    }
    *ppBuffer = b;
    return D3D_OK;
}
