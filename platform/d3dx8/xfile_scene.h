// The .x mesh reader's neutral result, independent of any mesh object.
//
// Usage:
//   xfile::Scene scene;
//   HRESULT hr = xfile::ParseXFile(bytes.data(), bytes.size(), scene);
//   xfile::FlatMesh flat;
//   if (SUCCEEDED(hr)) hr = xfile::FlattenScene(scene, flat);
// ParseXFile takes the whole file (header included: text, binary or
// MSZIP-compressed, 32- or 64-bit floats) and keeps what the file says:
// frames with their transforms and every mesh with its own faces, normals,
// texture coordinates and material list. FlattenScene merges all meshes into
// one triangle list in world space, ready to copy into an ID3DXMesh.
// Malformed input gives D3DXERR_INVALIDDATA (or E_OUTOFMEMORY), never a
// partial result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace xfile {

struct Vec2 {
    float u, v;
};
struct Vec3 {
    float x, y, z;
};
// 4 x 4, row by row, row vectors (p' = p * M).
using Matrix = std::array<float, 16>;
Matrix IdentityMatrix();
Matrix Multiply(const Matrix& a, const Matrix& b);  // a applied first

// Polygons stored flat: polygon i has counts[i] entries of indices,
// starting where polygon i - 1 ended.
struct PolygonList {
    std::vector<uint32_t> counts;
    std::vector<uint32_t> indices;
    size_t size() const { return counts.size(); }
};

struct Material {
    std::string name;         // empty when anonymous
    float diffuse[4] = {};    // faceColor RGBA
    float power = 0.0f;
    float specular[3] = {};
    float emissive[3] = {};
    bool hasTexture = false;
    std::string texture;      // as written in the file
};

struct Frame {
    std::string name;
    int parent = -1;          // index into Scene::frames, -1 at top level
    Matrix transform = IdentityMatrix();  // FrameTransformMatrix (local)
    Matrix world = IdentityMatrix();      // transform * parent's world
};

struct Mesh {
    std::string name;
    int frame = -1;           // enclosing frame, -1 at top level
    Matrix world = IdentityMatrix();
    std::vector<Vec3> positions;
    PolygonList faces;        // indices into positions

    bool hasNormals = false;
    std::vector<Vec3> normals;
    PolygonList normalFaces;  // same shape as faces, indices into normals

    std::vector<Vec2> texcoords;  // empty, or one per position

    bool hasMaterialList = false;
    std::vector<Material> materials;
    std::vector<uint32_t> faceMaterials;  // one per face (short lists padded)
};

struct Scene {
    bool binary = false;
    int floatBits = 32;
    std::vector<Frame> frames;
    std::vector<Mesh> meshes;
};

// Parser limits, also used by the tests.
constexpr size_t kMaxFileBytes = 256u << 20;  // raw or decompressed
constexpr int kMaxDepth = 64;                 // nested braces

HRESULT ParseXFile(const uint8_t* data, size_t size, Scene& out);

// All meshes merged: triangles (fans over each polygon), world-space
// positions and normals, one attribute per triangle.
struct FlatMesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;      // one per position
    std::vector<Vec2> texcoords;    // empty, or one per position
    std::vector<uint32_t> indices;  // 3 per triangle
    std::vector<uint32_t> attributes;  // material index per triangle
    std::vector<Material> materials;   // empty when no mesh has a list
    size_t triangleCount() const { return attributes.size(); }
};

HRESULT FlattenScene(const Scene& scene, FlatMesh& out);

}  // namespace xfile
