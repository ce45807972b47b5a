#include "star_mesh.h"

#include <cmath>
#include <cstdio>

namespace mk {

namespace {

using V3 = std::array<float, 3>;

V3 sub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V3 cross(const V3& a, const V3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 normalised(const V3& v)
{
    const float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return {v[0] / l, v[1] / l, v[2] / l};
}

// Fixed, locale-independent number text with six decimals.
std::string num(float v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v) == 0.0 ? 0.0 : static_cast<double>(v));
    return buf;
}

}  // namespace

StarMesh makeStar(int points, float outer, float inner, float depth)
{
    StarMesh m;
    const int rim = points * 2;
    std::vector<V3> ring(rim);
    for (int k = 0; k < rim; ++k) {
        const double a = 3.14159265358979 / 2 + k * 3.14159265358979 / points;
        const float r = (k % 2 == 0) ? outer : inner;
        ring[k] = {static_cast<float>(std::cos(a) * r), static_cast<float>(std::sin(a) * r), 0.0f};
    }
    // The camera of scenes 8 and 9 starts on -z: that side is the front.
    const V3 front{0, 0, -depth}, back{0, 0, depth};
    auto addFace = [&m](const V3& a, const V3& b, const V3& c) {
        const int base = static_cast<int>(m.positions.size());
        m.positions.push_back(a);
        m.positions.push_back(b);
        m.positions.push_back(c);
        m.faces.push_back({base, base + 1, base + 2});
        // With clockwise front faces, (b - a) x (c - a) points out of the solid.
        m.faceNormals.push_back(normalised(cross(sub(b, a), sub(c, a))));
    };
    for (int k = 0; k < rim; ++k) {
        const V3& p = ring[k];
        const V3& q = ring[(k + 1) % rim];
        addFace(front, q, p);
        addFace(back, p, q);
    }
    return m;
}

std::string toXFile(const StarMesh& m)
{
    std::string s = "xof 0302txt 0032\n\n";
    s += "Frame Star {\n";
    s += "  FrameTransformMatrix {\n"
         "    1.000000,0.000000,0.000000,0.000000,\n"
         "    0.000000,1.000000,0.000000,0.000000,\n"
         "    0.000000,0.000000,1.000000,0.000000,\n"
         "    0.000000,0.000000,0.000000,1.000000;;\n"
         "  }\n";
    s += "  Mesh StarMesh {\n";
    s += "    " + std::to_string(m.positions.size()) + ";\n";
    for (size_t i = 0; i < m.positions.size(); ++i) {
        const V3& p = m.positions[i];
        s += "    " + num(p[0]) + ";" + num(p[1]) + ";" + num(p[2]) + ";" + (i + 1 < m.positions.size() ? "," : ";") + "\n";
    }
    s += "    " + std::to_string(m.faces.size()) + ";\n";
    for (size_t i = 0; i < m.faces.size(); ++i) {
        const auto& f = m.faces[i];
        s += "    3;" + std::to_string(f[0]) + "," + std::to_string(f[1]) + "," + std::to_string(f[2]) + ";" +
             (i + 1 < m.faces.size() ? "," : ";") + "\n";
    }
    s += "    MeshMaterialList {\n      1;\n      " + std::to_string(m.faces.size()) + ";\n";
    for (size_t i = 0; i < m.faces.size(); ++i) s += std::string("      0") + (i + 1 < m.faces.size() ? ",\n" : ";;\n");
    s += "      Material Chrome {\n"
         "        0.900000;0.920000;0.950000;1.000000;;\n"
         "        40.000000;\n"
         "        1.000000;1.000000;1.000000;;\n"
         "        0.000000;0.000000;0.000000;;\n"
         "      }\n"
         "    }\n";
    s += "    MeshNormals {\n      " + std::to_string(m.faceNormals.size()) + ";\n";
    for (size_t i = 0; i < m.faceNormals.size(); ++i) {
        const V3& n = m.faceNormals[i];
        s += "      " + num(n[0]) + ";" + num(n[1]) + ";" + num(n[2]) + ";" + (i + 1 < m.faceNormals.size() ? "," : ";") + "\n";
    }
    s += "      " + std::to_string(m.faces.size()) + ";\n";
    for (size_t i = 0; i < m.faces.size(); ++i) {
        const std::string n = std::to_string(i);
        s += "      3;" + n + "," + n + "," + n + ";" + (i + 1 < m.faces.size() ? "," : ";") + "\n";
    }
    s += "    }\n  }\n}\n";
    return s;
}

}  // namespace mk
