// The star of scenes 8 and 9: a text .x file the show's mesh loader reads,
// describing a closed solid whose faces point outwards.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "tests/media/expected_media.h"
#include "tests/support/recording_device.h"

namespace vt::media_test {
namespace {

using V3 = std::array<double, 3>;

std::string StarPath() { return MediaRoot() + "/" + kStarMesh; }

std::string ReadText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A small reader for the blocks this file uses: numbers separated by ',' and
// ';', read in order after a block's opening brace.
class Numbers {
public:
    Numbers(const std::string& text, size_t from) : s_(text), pos_(from) {}
    double next()
    {
        while (pos_ < s_.size() && !(std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '-' ||
                                     s_[pos_] == '.')) {
            if (s_[pos_] == '{' || s_[pos_] == '}') throw std::runtime_error("block ended early");
            ++pos_;
        }
        size_t used = 0;
        const double v = std::stod(s_.substr(pos_, 32), &used);
        pos_ += used;
        return v;
    }
    size_t pos() const { return pos_; }

private:
    const std::string& s_;
    size_t pos_;
};

struct ParsedStar {
    std::vector<V3> positions;
    std::vector<std::array<int, 3>> faces;
    int materials = 0;
    std::vector<int> faceMaterials;
    std::vector<V3> normals;
    std::vector<std::array<int, 3>> normalFaces;
};

ParsedStar Parse(const std::string& text)
{
    ParsedStar p;
    const size_t mesh = text.find("Mesh ");
    Numbers n(text, text.find('{', mesh) + 1);
    const int nv = static_cast<int>(n.next());
    for (int i = 0; i < nv; ++i) p.positions.push_back({n.next(), n.next(), n.next()});
    const int nf = static_cast<int>(n.next());
    for (int i = 0; i < nf; ++i) {
        EXPECT_EQ(n.next(), 3.0) << "face " << i << " is not a triangle";
        p.faces.push_back({static_cast<int>(n.next()), static_cast<int>(n.next()), static_cast<int>(n.next())});
    }
    const size_t list = text.find("MeshMaterialList", mesh);
    Numbers m(text, text.find('{', list) + 1);
    p.materials = static_cast<int>(m.next());
    const int nfm = static_cast<int>(m.next());
    for (int i = 0; i < nfm; ++i) p.faceMaterials.push_back(static_cast<int>(m.next()));
    const size_t normals = text.find("MeshNormals", mesh);
    Numbers k(text, text.find('{', normals) + 1);
    const int nn = static_cast<int>(k.next());
    for (int i = 0; i < nn; ++i) p.normals.push_back({k.next(), k.next(), k.next()});
    const int nnf = static_cast<int>(k.next());
    for (int i = 0; i < nnf; ++i) {
        k.next();
        p.normalFaces.push_back({static_cast<int>(k.next()), static_cast<int>(k.next()), static_cast<int>(k.next())});
    }
    return p;
}

V3 Sub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V3 Cross(const V3& a, const V3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TEST(StarMesh, IsATextXFileWithTheBlocksTheShowReads)
{
    const std::string text = ReadText(StarPath());
    ASSERT_GE(text.size(), 16u);
    EXPECT_EQ(text.substr(0, 16), "xof 0302txt 0032");
    const size_t frame = text.find("Frame "), mesh = text.find("Mesh ");
    ASSERT_NE(frame, std::string::npos);
    ASSERT_NE(mesh, std::string::npos);
    EXPECT_LT(frame, mesh) << "the mesh sits inside the frame";
    EXPECT_NE(text.find("MeshMaterialList", mesh), std::string::npos);
    EXPECT_NE(text.find("Material ", mesh), std::string::npos);
    EXPECT_NE(text.find("MeshNormals", mesh), std::string::npos);
}

TEST(StarMesh, CountsAndIndicesAgree)
{
    const ParsedStar s = Parse(ReadText(StarPath()));
    ASSERT_FALSE(s.faces.empty());
    EXPECT_EQ(s.positions.size(), 3 * s.faces.size()) << "flat facets: three own corners per face";
    for (const auto& f : s.faces)
        for (int i : f) ASSERT_TRUE(i >= 0 && i < static_cast<int>(s.positions.size()));
    EXPECT_EQ(s.materials, 1);
    EXPECT_EQ(s.faceMaterials.size(), s.faces.size());
    for (int m : s.faceMaterials) EXPECT_EQ(m, 0);
    EXPECT_EQ(s.normalFaces.size(), s.faces.size());
    for (const auto& f : s.normalFaces)
        for (int i : f) ASSERT_TRUE(i >= 0 && i < static_cast<int>(s.normals.size()));
}

TEST(StarMesh, IsAClosedSolidFacingOutwards)
{
    const ParsedStar s = Parse(ReadText(StarPath()));
    ASSERT_FALSE(s.faces.empty());
    // Closed: every directed edge (by position) is matched by its reverse in
    // another face, so no holes and a consistent winding.
    std::map<std::pair<std::string, std::string>, int> edges;
    auto key = [&](int i) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%.4f,%.4f,%.4f", s.positions[i][0], s.positions[i][1], s.positions[i][2]);
        return std::string(buf);
    };
    for (const auto& f : s.faces)
        for (int k = 0; k < 3; ++k) ++edges[{key(f[k]), key(f[(k + 1) % 3])}];
    for (const auto& [e, count] : edges) {
        EXPECT_EQ(count, 1) << "edge used twice in one direction";
        EXPECT_EQ(edges.count({e.second, e.first}), 1u) << "open edge " << e.first << " -> " << e.second;
    }
    // Outwards: clockwise front faces (the device culls counter-clockwise
    // ones), so (b - a) x (c - a) points away from the centre; the file's
    // normals agree with the winding.
    for (size_t i = 0; i < s.faces.size(); ++i) {
        const V3 &a = s.positions[s.faces[i][0]], &b = s.positions[s.faces[i][1]], &c = s.positions[s.faces[i][2]];
        const V3 n = Cross(Sub(b, a), Sub(c, a));
        const V3 centroid{(a[0] + b[0] + c[0]) / 3, (a[1] + b[1] + c[1]) / 3, (a[2] + b[2] + c[2]) / 3};
        EXPECT_GT(Dot(n, centroid), 0) << "face " << i << " faces inwards";
        EXPECT_GT(Dot(n, s.normals[s.normalFaces[i][0]]), 0) << "normal of face " << i << " disagrees";
        const V3& fn = s.normals[s.normalFaces[i][0]];
        EXPECT_NEAR(std::sqrt(Dot(fn, fn)), 1.0, 1e-4) << "normal of face " << i;
    }
}

TEST(StarMesh, LoadsThroughTheShowsMeshLoader)
{
    const ParsedStar s = Parse(ReadText(StarPath()));
    vt::test::RecordingDevice dev;
    ID3DXBuffer* materials = nullptr;
    DWORD numMaterials = 0;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromX(StarPath().c_str(), D3DXMESH_SYSTEMMEM, &dev, nullptr, &materials, &numMaterials, &mesh),
              S_OK);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetNumFaces(), s.faces.size());
    EXPECT_EQ(mesh->GetNumVertices(), s.positions.size());
    EXPECT_TRUE(mesh->GetFVF() & D3DFVF_NORMAL) << "the file's normals are loaded";
    EXPECT_EQ(numMaterials, 1u);
    ASSERT_NE(materials, nullptr);
    const auto* mat = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    EXPECT_FLOAT_EQ(mat[0].MatD3D.Diffuse.a, 1.0f) << "an opaque material, drawn in the opaque pass";
    EXPECT_EQ(mat[0].pTextureFilename, nullptr);
    materials->Release();
    mesh->Release();
}

}  // namespace
}  // namespace vt::media_test
