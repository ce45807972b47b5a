// xfile::Scene -> one triangle list in world space.
//
// A vertex used with different normals by different faces (MeshNormals
// gives one normal per face corner) is duplicated, one copy per distinct
// normal, so hard edges survive. Meshes without normals get area-weighted
// face normals. Meshes without a material list, when others have one, use
// one shared default material (white, opaque) appended after the file's.
#include <cmath>
#include <new>
#include <stdexcept>
#include <unordered_map>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/xfile_scene.h"

namespace xfile {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

Vec3 TransformPoint(const Vec3& p, const Matrix& m) {
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

Vec3 Normalized(const Vec3& v) {
    float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(len > 0.0f) || !std::isfinite(len)) return v;
    return {v.x / len, v.y / len, v.z / len};
}

// Normals go through the inverse transpose of the upper 3 x 3, which is
// the cofactor matrix over the determinant; only the determinant's sign
// matters once the result is normalised.
struct NormalTransform {
    explicit NormalTransform(const Matrix& m) {
        auto a = [&](int r, int c) { return m[r * 4 + c]; };
        c[0] = a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1);
        c[1] = a(1, 2) * a(2, 0) - a(1, 0) * a(2, 2);
        c[2] = a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0);
        c[3] = a(0, 2) * a(2, 1) - a(0, 1) * a(2, 2);
        c[4] = a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0);
        c[5] = a(0, 1) * a(2, 0) - a(0, 0) * a(2, 1);
        c[6] = a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1);
        c[7] = a(0, 2) * a(1, 0) - a(0, 0) * a(1, 2);
        c[8] = a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0);
        float det = a(0, 0) * c[0] + a(0, 1) * c[1] + a(0, 2) * c[2];
        if (det < 0.0f)
            for (float& v : c) v = -v;
    }
    Vec3 operator()(const Vec3& n) const {
        return Normalized({n.x * c[0] + n.y * c[3] + n.z * c[6], n.x * c[1] + n.y * c[4] + n.z * c[7],
                           n.x * c[2] + n.y * c[5] + n.z * c[8]});
    }
    float c[9];
};

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void AppendMesh(const Mesh& mesh, bool withTexcoords, uint32_t materialBase, uint32_t fixedMaterial,
                FlatMesh& out) {
    const uint32_t base = static_cast<uint32_t>(out.positions.size());
    const size_t nv = mesh.positions.size();
    const std::vector<uint32_t>& faceIndices = mesh.faces.indices;

    // Local vertex of every face corner; vertices beyond nv are copies.
    std::vector<uint32_t> corner(faceIndices.begin(), faceIndices.end());
    std::vector<uint32_t> source;       // original vertex of each copy
    std::vector<uint32_t> normalIndex;  // normal of each local vertex
    if (mesh.hasNormals) {
        normalIndex.assign(nv, kNone);
        std::unordered_map<uint64_t, uint32_t> copies;
        for (size_t c = 0; c < faceIndices.size(); ++c) {
            const uint32_t v = faceIndices[c];
            const uint32_t n = mesh.normalFaces.indices[c];
            if (normalIndex[v] == kNone || normalIndex[v] == n) {
                normalIndex[v] = n;
                continue;
            }
            const uint64_t key = (static_cast<uint64_t>(v) << 32) | n;
            auto found = copies.find(key);
            if (found == copies.end()) {
                const uint32_t local = static_cast<uint32_t>(nv + source.size());
                found = copies.emplace(key, local).first;
                source.push_back(v);
                normalIndex.push_back(n);
            }
            corner[c] = found->second;
        }
    }

    const size_t localCount = nv + source.size();
    auto sourceOf = [&](size_t local) { return local < nv ? local : source[local - nv]; };
    const NormalTransform toWorld(mesh.world);
    for (size_t i = 0; i < localCount; ++i) {
        const size_t s = sourceOf(i);
        out.positions.push_back(TransformPoint(mesh.positions[s], mesh.world));
        Vec3 n{0.0f, 0.0f, 0.0f};
        if (mesh.hasNormals && normalIndex[i] != kNone) n = toWorld(mesh.normals[normalIndex[i]]);
        out.normals.push_back(n);
        if (withTexcoords) out.texcoords.push_back(mesh.texcoords.empty() ? Vec2{0.0f, 0.0f} : mesh.texcoords[s]);
    }

    const size_t firstTriangle = out.attributes.size();
    size_t first = 0;
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const uint32_t n = mesh.faces.counts[f];
        const uint32_t attribute = mesh.hasMaterialList ? materialBase + mesh.faceMaterials[f] : fixedMaterial;
        for (uint32_t k = 1; k + 1 < n; ++k) {
            out.indices.push_back(base + corner[first]);
            out.indices.push_back(base + corner[first + k]);
            out.indices.push_back(base + corner[first + k + 1]);
            out.attributes.push_back(attribute);
        }
        first += n;
    }

    if (!mesh.hasNormals) {
        // Weighted by area: the unnormalised cross product of each triangle.
        for (size_t t = firstTriangle; t < out.attributes.size(); ++t) {
            const uint32_t i0 = out.indices[t * 3], i1 = out.indices[t * 3 + 1], i2 = out.indices[t * 3 + 2];
            const Vec3& p0 = out.positions[i0];
            const Vec3 w = Cross(Sub(p0, out.positions[i1]), Sub(p0, out.positions[i2]));
            for (uint32_t i : {i0, i1, i2}) {
                out.normals[i].x += w.x;
                out.normals[i].y += w.y;
                out.normals[i].z += w.z;
            }
        }
        for (size_t i = base; i < out.normals.size(); ++i) out.normals[i] = Normalized(out.normals[i]);
    }
}

}  // namespace

HRESULT FlattenScene(const Scene& scene, FlatMesh& out) {
    out = FlatMesh();
    try {
        bool anyMaterials = false;
        bool anyTexcoords = false;
        for (const Mesh& m : scene.meshes) {
            anyMaterials = anyMaterials || m.hasMaterialList;
            anyTexcoords = anyTexcoords || !m.texcoords.empty();
        }
        uint32_t defaultMaterial = 0;
        if (anyMaterials) {
            size_t count = 0;
            for (const Mesh& m : scene.meshes) count += m.materials.size();
            defaultMaterial = static_cast<uint32_t>(count);
        }
        bool defaultUsed = false;
        for (const Mesh& m : scene.meshes) {
            const uint32_t materialBase = static_cast<uint32_t>(out.materials.size());
            if (m.hasMaterialList) {
                out.materials.insert(out.materials.end(), m.materials.begin(), m.materials.end());
            } else if (anyMaterials) {
                defaultUsed = true;
            }
            AppendMesh(m, anyTexcoords, materialBase, defaultMaterial, out);
        }
        if (defaultUsed) {
            Material white;
            white.name = "default";
            for (float& c : white.diffuse) c = 1.0f;
            out.materials.push_back(white);
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        out = FlatMesh();
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        out = FlatMesh();
        return E_OUTOFMEMORY;
    }
}

}  // namespace xfile
