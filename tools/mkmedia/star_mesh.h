// The star of scenes 8 and 9 as a text DirectX .x file.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace mk {

struct StarMesh {
    std::vector<std::array<float, 3>> positions;  // three per face, unshared: flat facets
    std::vector<std::array<int, 3>> faces;        // clockwise seen from outside (front faces)
    std::vector<std::array<float, 3>> faceNormals;
};

// A five-pointed star, faceted front and back: ten triangles fan from a front
// apex and ten from a back apex to the rim of alternating tips and notches.
StarMesh makeStar(int points = 5, float outer = 10.0f, float inner = 4.2f, float depth = 3.4f);

// "xof 0302txt 0032": Frame > FrameTransformMatrix, Mesh with
// MeshMaterialList (one material) and MeshNormals (one normal per face).
std::string toXFile(const StarMesh& mesh);

}  // namespace mk
