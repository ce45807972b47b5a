// The Direct3D extension library's operations the show uses: vector and
// matrix arithmetic, image files into textures, meshes, error names.
//
// Conventions, once: vectors are three floats; matrices are 4 x 4 floats
// stored row by row; points are row vectors multiplied on the left
// (p' = p * M), so translation sits in the fourth row and A * B applies A
// first; the coordinate system is left-handed. Meshes and textures are made
// through the public device interface only, so they work on any device.
#pragma once

#include <cmath>

#include "platform/d3d8/d3d8.h"

#define D3DX_PI 3.141592654f
#define D3DX_DEFAULT ((UINT)-1)

#define MAKE_D3DXHRESULT(code) MAKE_D3DHRESULT(code)
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_D3DHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_D3DHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_D3DHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_D3DHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_D3DHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

#define D3DXMESH_32BIT 0x001
#define D3DXMESH_DONOTCLIP 0x002
#define D3DXMESH_POINTS 0x004
#define D3DXMESH_RTPATCHES 0x008
#define D3DXMESH_NPATCHES 0x4000
#define D3DXMESH_VB_SYSTEMMEM 0x010
#define D3DXMESH_VB_MANAGED 0x020
#define D3DXMESH_VB_WRITEONLY 0x040
#define D3DXMESH_VB_DYNAMIC 0x080
#define D3DXMESH_IB_SYSTEMMEM 0x100
#define D3DXMESH_IB_MANAGED 0x200
#define D3DXMESH_IB_WRITEONLY 0x400
#define D3DXMESH_IB_DYNAMIC 0x800
#define D3DXMESH_SYSTEMMEM 0x110
#define D3DXMESH_MANAGED 0x220
#define D3DXMESH_WRITEONLY 0x440
#define D3DXMESH_DYNAMIC 0x880

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() : D3DVECTOR{0.0f, 0.0f, 0.0f} {}
    D3DXVECTOR3(float fx, float fy, float fz) : D3DVECTOR{fx, fy, fz} {}
    D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    D3DXVECTOR3& operator*=(float f) {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    D3DXVECTOR3& operator/=(float f) {
        x /= f;
        y /= f;
        z /= f;
        return *this;
    }
    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
    D3DXVECTOR3 operator*(float f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
    D3DXVECTOR3 operator/(float f) const { return D3DXVECTOR3(x / f, y / f, z / f); }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};
inline D3DXVECTOR3 operator*(float f, const D3DXVECTOR3& v) { return v * f; }

struct D3DXVECTOR4 {
    float x, y, z, w;
};

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() : D3DMATRIX{} {}
    D3DXMATRIX(const D3DMATRIX& m) : D3DMATRIX(m) {}
    D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
               float m31, float m32, float m33, float m34, float m41, float m42, float m43, float m44);
    float& operator()(UINT row, UINT col) { return m[row][col]; }
    float operator()(UINT row, UINT col) const { return m[row][col]; }
    operator float*() { return &_11; }
    operator const float*() const { return &_11; }
    D3DXMATRIX operator*(const D3DXMATRIX& b) const;
    D3DXMATRIX& operator*=(const D3DXMATRIX& b);
    bool operator==(const D3DXMATRIX& b) const;
};

// |v| = sqrt(x^2 + y^2 + z^2)
float D3DXVec3Length(const D3DXVECTOR3* v);
// a.x*b.x + a.y*b.y + a.z*b.z
float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
// (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x)
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
// v / |v|; a zero vector stays zero
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// (x, y, z, 1) * M, divided by the resulting w
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 0) * M: directions, no translation
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// 0.5 * (2 p1 + (p2 - p0) s + (2 p0 - 5 p1 + 4 p2 - p3) s^2 + (3 p1 - p0 - 3 p2 + p3) s^3)
D3DXVECTOR3* D3DXVec3CatmullRom(D3DXVECTOR3* out, const D3DXVECTOR3* p0, const D3DXVECTOR3* p1,
                                const D3DXVECTOR3* p2, const D3DXVECTOR3* p3, float s);
// a + (b - a) s
D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, float s);

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
// A * B (A applied first)
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
// Rz(roll) * Rx(pitch) * Ry(yaw)
D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
// General inverse; returns null (out untouched) when singular. det may be null.
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* det, const D3DXMATRIX* m);
// c = cot(fov/2): (1,1) = c/aspect, (2,2) = c, (3,3) = f/(f-n), (3,4) = 1, (4,3) = -n f/(f-n)
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf);
// z = norm(at - eye), x = norm(up x z), y = z x x; rows (x.x y.x z.x 0) ... (-x.eye -y.eye -z.eye 1)
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);

// Byte size of one vertex of a flexible vertex format.
UINT D3DXGetFVFVertexSize(DWORD fvf);

// The published name of a result code, or "Unrecognized error: 0x%0.8x".
HRESULT D3DXGetErrorStringA(HRESULT hr, char* buffer, UINT bufferLen);

// PNG or JPEG file -> managed texture, sizes rounded up to powers of two,
// image stretched to fill, full mip chain; A8R8G8B8 when the file has alpha,
// else X8R8G8B8. Failures: D3DXERR_INVALIDDATA (undecodable or absurd),
// E_OUTOFMEMORY, D3DERR_NOTAVAILABLE (missing or unreadable file).
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, LPCSTR srcFile, IDirect3DTexture8** ppTexture);

class ID3DXBuffer : public IUnknown {
public:
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** ppBuffer);

typedef struct _D3DXMATERIAL {
    D3DMATERIAL8 MatD3D;
    LPSTR pTextureFilename;
} D3DXMATERIAL;

typedef struct _D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
} D3DXATTRIBUTERANGE;

class ID3DXMesh : public IUnknown {
public:
    virtual HRESULT DrawSubset(DWORD attribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;
    virtual DWORD GetOptions() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice8** ppDevice) = 0;
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, ID3DXMesh** ppCloneMesh) = 0;
    // The mesh's own buffers, with a reference added.
    virtual HRESULT GetVertexBuffer(IDirect3DVertexBuffer8** ppVB) = 0;
    virtual HRESULT GetIndexBuffer(IDirect3DIndexBuffer8** ppIB) = 0;
    virtual HRESULT LockVertexBuffer(DWORD flags, BYTE** ppData) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD flags, BYTE** ppData) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    // One attribute id per face; subset i is drawn from the faces with id i.
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** ppData) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) = 0;
};

// An empty indexed mesh; with 16-bit indices both counts must be <= 65535.
HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          IDirect3DDevice8* device, ID3DXMesh** ppMesh);
// XYZ|NORMAL sphere around the origin: slices*(stacks-1)+2 vertices.
HRESULT D3DXCreateSphere(IDirect3DDevice8* device, float radius, UINT slices, UINT stacks, ID3DXMesh** ppMesh,
                         ID3DXBuffer** ppAdjacency);
// Zero, add (p0 - p1) x (p0 - p2) of each face to its three vertices, normalise.
HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD* adjacency = nullptr);
// Centre = mean of positions; radius = largest distance from it.
HRESULT D3DXComputeBoundingSphere(const void* pointsFVF, DWORD numVertices, DWORD fvf, D3DXVECTOR3* center,
                                  float* radius);
// A DirectX .x file (text, binary or compressed) into a mesh and its materials.
HRESULT D3DXLoadMeshFromX(LPCSTR filename, DWORD options, IDirect3DDevice8* device, ID3DXBuffer** ppAdjacency,
                          ID3DXBuffer** ppMaterials, DWORD* pNumMaterials, ID3DXMesh** ppMesh);
