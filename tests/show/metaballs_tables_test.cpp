// The marching-cubes tables checked against the cell's own corner and edge
// geometry rather than trusted as a copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "effects/marching_cubes_tables.h"

namespace {

// Bit e set when the corners of edge e lie on different sides.
int CrossedEdges(int nIndex)
{
    int m = 0;
    for (int e = 0; e < CUBE_EDGES; e++) {
        const int a = g_nEdgeCorners[e][0];
        const int b = g_nEdgeCorners[e][1];
        if (((nIndex >> a) & 1) != ((nIndex >> b) & 1))
            m |= 1 << e;
    }
    return m;
}

// The cube faces (axis * 2 + side) an edge lies on: the two axes along
// which its corners agree.
std::set<int> FacesOfEdge(int e)
{
    const int* a = g_nCornerOffset[g_nEdgeCorners[e][0]];
    const int* b = g_nCornerOffset[g_nEdgeCorners[e][1]];
    std::set<int> faces;
    for (int axis = 0; axis < 3; axis++)
        if (a[axis] == b[axis])
            faces.insert(axis * 2 + a[axis]);
    return faces;
}

int CommonFace(int e1, int e2)
{
    for (int f : FacesOfEdge(e1))
        if (FacesOfEdge(e2).count(f))
            return f;
    return -1;
}

struct V3 {
    double x, y, z;
};
V3 Sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Corner(int c) { return {(double)g_nCornerOffset[c][0], (double)g_nCornerOffset[c][1], (double)g_nCornerOffset[c][2]}; }
V3 EdgeMidpoint(int e)
{
    const V3 a = Corner(g_nEdgeCorners[e][0]);
    const V3 b = Corner(g_nEdgeCorners[e][1]);
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

// The triangles of a row, as edge triples.
std::vector<std::array<int, 3>> Triangles(int nIndex)
{
    std::vector<std::array<int, 3>> tris;
    const signed char* row = g_cTriTable[nIndex];
    for (int r = 0; r + 2 < 16 && row[r] != -1; r += 3)
        tris.push_back({row[r], row[r + 1], row[r + 2]});
    return tris;
}

TEST(MarchingCubesTables, NumberingIsTheCellLayout)
{
    // p[c] = b + s * offset; edges as corner pairs, first corner first.
    const int offsets[8][3] = {{0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, 0, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}, {0, 1, 0}};
    const int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                              {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (int c = 0; c < 8; c++)
        for (int axis = 0; axis < 3; axis++)
            EXPECT_EQ(g_nCornerOffset[c][axis], offsets[c][axis]) << "corner " << c;
    std::set<std::pair<int, int>> seen;
    for (int e = 0; e < 12; e++) {
        EXPECT_EQ(g_nEdgeCorners[e][0], edges[e][0]) << "edge " << e;
        EXPECT_EQ(g_nEdgeCorners[e][1], edges[e][1]) << "edge " << e;
        // A cube edge joins corners that differ along exactly one axis.
        EXPECT_EQ(FacesOfEdge(e).size(), 2u) << "edge " << e;
        seen.insert({std::min(edges[e][0], edges[e][1]), std::max(edges[e][0], edges[e][1])});
    }
    EXPECT_EQ(seen.size(), 12u);
}

TEST(MarchingCubesTables, EdgeMasksFollowFromTheCorners)
{
    for (int i = 0; i < CUBE_CASES; i++)
        EXPECT_EQ(g_wEdgeTable[i], CrossedEdges(i)) << "cube index " << i;
    // The published table's opening entries and first row.
    const WORD opening[] = {0x000, 0x109, 0x203, 0x30A, 0x406, 0x50F};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(g_wEdgeTable[i], opening[i]);
    EXPECT_EQ(g_cTriTable[1][0], 0);
    EXPECT_EQ(g_cTriTable[1][1], 8);
    EXPECT_EQ(g_cTriTable[1][2], 3);
    EXPECT_EQ(g_cTriTable[1][3], -1);
    // 0xFF is the mask of the two checkerboard cases and no other.
    for (int i = 0; i < CUBE_CASES; i++)
        EXPECT_EQ(g_wEdgeTable[i] == 0xFF, i == 0x55 || i == 0xAA) << "cube index " << i;
}

TEST(MarchingCubesTables, RowsUseExactlyTheCrossedEdges)
{
    for (int i = 0; i < CUBE_CASES; i++) {
        const signed char* row = g_cTriTable[i];
        int n = 0;
        while (n < 16 && row[n] != -1)
            n++;
        ASSERT_LT(n, 16) << "row " << i << " has no terminator";
        EXPECT_EQ(n % 3, 0) << "row " << i;
        EXPECT_LE(n / 3, CUBE_MAX_TRIANGLES) << "row " << i;
        for (int r = n; r < 16; r++)
            EXPECT_EQ(row[r], -1) << "row " << i << " entry " << r;
        int used = 0;
        for (int r = 0; r < n; r++) {
            ASSERT_GE(row[r], 0);
            ASSERT_LT(row[r], CUBE_EDGES);
            used |= 1 << row[r];
        }
        EXPECT_EQ(used, CrossedEdges(i)) << "row " << i;
    }
}

// Inside one cell the triangles form a patch whose border runs over the
// cube's faces: a segment between two crossed edges on a common face is
// border and used once; any other segment is shared by exactly two
// triangles that run it in opposite directions; and every crossed edge has
// exactly one border segment on each of its two faces.
TEST(MarchingCubesTables, TrianglesCloseTheSurfaceConsistently)
{
    for (int i = 0; i < CUBE_CASES; i++) {
        std::map<std::pair<int, int>, int> directed;
        for (const auto& t : Triangles(i)) {
            EXPECT_TRUE(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) << "row " << i;
            for (int k = 0; k < 3; k++)
                directed[{t[k], t[(k + 1) % 3]}]++;
        }
        std::map<std::pair<int, int>, int> borderOnFace;  // (edge, face) -> border segments
        for (const auto& [seg, count] : directed) {
            const int a = seg.first, b = seg.second;
            const int reverse = directed.count({b, a}) ? directed.at({b, a}) : 0;
            const int face = CommonFace(a, b);
            if (face >= 0) {
                EXPECT_EQ(count + reverse, 1) << "row " << i << " border " << a << "-" << b;
                borderOnFace[{a, face}]++;
                borderOnFace[{b, face}]++;
            } else {
                EXPECT_EQ(count, 1) << "row " << i << " inner " << a << "-" << b;
                EXPECT_EQ(reverse, 1) << "row " << i << " inner " << a << "-" << b;
            }
        }
        for (int e = 0; e < CUBE_EDGES; e++) {
            if (!(CrossedEdges(i) & (1 << e)))
                continue;
            for (int f : FacesOfEdge(e))
                EXPECT_EQ(borderOnFace[std::make_pair(e, f)], 1) << "row " << i << " edge " << e << " face " << f;
        }
    }
}

// (p1 - p0) x (p2 - p0) points to the corners below the iso level, out of
// the blobs: checked with the vertices at the edge midpoints, summed over
// each triangle's three edges.
TEST(MarchingCubesTables, TrianglesFaceTheLowerValues)
{
    for (int i = 0; i < CUBE_CASES; i++) {
        for (const auto& t : Triangles(i)) {
            const V3 p0 = EdgeMidpoint(t[0]), p1 = EdgeMidpoint(t[1]), p2 = EdgeMidpoint(t[2]);
            const V3 n = Cross(Sub(p1, p0), Sub(p2, p0));
            double toward = 0;
            for (int e : t) {
                const int a = g_nEdgeCorners[e][0];
                const int b = g_nEdgeCorners[e][1];
                const int below = ((i >> a) & 1) ? a : b;
                toward += Dot(n, Sub(Corner(below), EdgeMidpoint(e)));
            }
            EXPECT_GT(toward, 0.0) << "row " << i << " triangle " << t[0] << " " << t[1] << " " << t[2];
        }
    }
}

}  // namespace
