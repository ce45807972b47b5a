// Broken .x files fail with D3DXERR_INVALIDDATA, quickly and without
// touching memory they should not (run under ASan/UBSan too).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/xfile_scene.h"
#include "tests/xfile/xfile_writer.h"

using xfile::FlatMesh;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

HRESULT Load(const std::vector<uint8_t>& file, FlatMesh& flat) {
    xfile::Scene scene;
    HRESULT hr = xfile::ParseXFile(file.data(), file.size(), scene);
    if (FAILED(hr)) return hr;
    return xfile::FlattenScene(scene, flat);
}

HRESULT LoadText(const std::string& text) {
    FlatMesh m;
    return Load(Bytes("xof 0302txt 0032\n" + text), m);
}

// What any successful result must satisfy, whatever the input was.
void ExpectConsistent(const FlatMesh& m) {
    ASSERT_EQ(m.normals.size(), m.positions.size());
    ASSERT_TRUE(m.texcoords.empty() || m.texcoords.size() == m.positions.size());
    ASSERT_EQ(m.indices.size(), m.attributes.size() * 3);
    for (uint32_t i : m.indices) ASSERT_LT(i, m.positions.size());
    for (uint32_t a : m.attributes) ASSERT_TRUE(m.materials.empty() ? a == 0 : a < m.materials.size());
}

std::vector<uint8_t> CubeText() {
    xtest::TextWriter w(32);
    xtest::WriteCube(w);
    return w.Bytes();
}
std::vector<uint8_t> CubeBinary() {
    xtest::BinaryWriter w(32);
    xtest::WriteCube(w);
    return w.Bytes();
}

size_t Find(const std::vector<uint8_t>& hay, const std::string& needle) {
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
    return static_cast<size_t>(it - hay.begin());
}

}  // namespace

TEST(XFileRobust, EveryTruncationFails) {
    const std::vector<uint8_t> text = CubeText(), binary = CubeBinary();
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        size_t frameStart;  // cuts after this, short of the end, must fail
        size_t complete;    // shortest prefix that is the whole file
    } cases[] = {
        {"text", text, Find(text, "Frame Root"), text.size() - 1},  // only the last newline may go
        {"binary", binary, Find(binary, "Frame") - 6, binary.size()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_LT(c.frameStart, c.file.size());
        for (size_t cut = 0; cut <= c.file.size(); ++cut) {
            std::vector<uint8_t> part(c.file.begin(), c.file.begin() + static_cast<long>(cut));
            FlatMesh m;
            HRESULT hr = Load(part, m);
            if (cut >= c.complete) {
                EXPECT_EQ(hr, S_OK) << cut;
            } else if (cut > c.frameStart || cut < 16) {
                EXPECT_EQ(hr, D3DXERR_INVALIDDATA) << cut;
            } else {
                // Before the frame, a cut between top-level objects leaves a
                // valid file without a mesh.
                EXPECT_TRUE(hr == D3DXERR_INVALIDDATA || (hr == S_OK && m.triangleCount() == 0)) << cut;
            }
        }
    }
    const std::vector<uint8_t> packed = xtest::Compress(text, 300);
    for (size_t cut = 0; cut < packed.size(); ++cut) {
        FlatMesh m;
        EXPECT_EQ(Load({packed.begin(), packed.begin() + static_cast<long>(cut)}, m), D3DXERR_INVALIDDATA) << cut;
    }
}

TEST(XFileRobust, FlippedBytesNeverBreakTheResult) {
    const std::vector<uint8_t> files[] = {CubeText(), CubeBinary(), xtest::Compress(CubeBinary(), 200)};
    int failures = 0;
    for (const auto& file : files) {
        for (size_t at = 0; at < file.size(); ++at) {
            for (uint8_t mask : {0xFF, 0x01, 0x80}) {
                std::vector<uint8_t> bad = file;
                bad[at] ^= mask;
                FlatMesh m;
                HRESULT hr = Load(bad, m);
                ASSERT_TRUE(hr == S_OK || hr == D3DXERR_INVALIDDATA) << at;
                if (hr == S_OK) {
                    ExpectConsistent(m);
                } else {
                    ++failures;
                }
            }
        }
    }
    EXPECT_GT(failures, 0);
}

TEST(XFileRobust, BadHeadersFail) {
    const char* headers[] = {
        "",
        "xof 0302txt 003",    // 15 bytes
        "xoff0302txt 0032",
        "xof 0202txt 0032",
        "xof 0302TXT 0032",
        "xof 0302txt 0016",
        "xof 0302zip 0032",
        "xof 03x2txt 0032",
    };
    for (const char* h : headers) {
        FlatMesh m;
        EXPECT_EQ(Load(Bytes(std::string(h) + "\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"), m),
                  D3DXERR_INVALIDDATA)
            << '"' << h << '"';
    }
}

TEST(XFileRobust, HugeCountsFailWithoutAllocating) {
    const char* texts[] = {
        "Mesh { 2147483648; 0;0;0;; 0;; }",
        "Mesh { 4294967295; 0;0;0;; 0;; }",
        "Mesh { 4294967296; 0;0;0;; 0;; }",
        "Mesh { -1; 0;0;0;; 0;; }",
        "Mesh { 99999999999999999999; }",
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1000000000; 3;0,1,2;; }",
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2000000000;0,1,2;; }",
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshNormals { 3000000000; 0;0;1;; 1; 3;0,0,0;; } }",
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 1500000000; 0;0;; } }",
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 4000000000; 1; 0;; } }",
        "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 4000000000; 0;; } }",
    };
    for (const char* t : texts) EXPECT_EQ(LoadText(t), D3DXERR_INVALIDDATA) << t;

    // Binary: lists, names and strings longer than the file, and a vertex
    // count that the data cannot hold.
    auto binary = [](auto&& body) {
        xtest::BinaryWriter w(32);
        body(w);
        FlatMesh m;
        return Load(w.Bytes(), m);
    };
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) {
                  w.Name("Mesh"), w.Word(10), w.Word(6), w.Dword(0x7FFFFFFF), w.Dword(3);
              }),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) {
                  w.Name("Mesh"), w.Word(10), w.Word(7), w.Dword(0xFFFFFFFF), w.Dword(0);
              }),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) { w.Word(1), w.Dword(0xFFFFFFF0), w.Dword(0); }),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) {
                  w.Begin("Mesh"), w.Word(2), w.Dword(0x80000000), w.Dword(0);
              }),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) {
                  w.Begin("Mesh"), w.Ints({0x80000000}), w.Floats({0, 0, 0}), w.Ints({0}), w.End();
              }),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) { w.Word(0); }), D3DXERR_INVALIDDATA);
    EXPECT_EQ(binary([](xtest::BinaryWriter& w) { w.Word(99); }), D3DXERR_INVALIDDATA);
}

TEST(XFileRobust, IndicesAndShapesAreChecked) {
    const std::string tri = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; ";
    const struct {
        const char* why;
        std::string text;
    } cases[] = {
        {"face index = vertex count", tri + "3;0,1,3;; }"},
        {"face with two corners", tri + "2;0,1;; }"},
        {"normal index out of range", tri + "3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }"},
        {"normal faces fewer than faces", tri + "3;0,1,2;; MeshNormals { 1; 0;0;1;; 0;; } }"},
        {"normal face of another shape", tri + "3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }"},
        {"texture coordinates not one per vertex", tri + "3;0,1,2;; MeshTextureCoords { 2; 0;0;, 1;1;; } }"},
        {"material index past the list", tri + "3;0,1,2;; MeshMaterialList { 1; 1; 1;; { M } } }"},
        {"value where a child belongs", tri + "3;0,1,2;; 7; }"},
        {"float where a count belongs", "Mesh { 3.5; }"},
        {"value beyond float range", "Mesh { 1; 1e300;0;0;; 0;; }"},
        {"number glued to letters", "Mesh { 3abc; }"},
        {"unterminated string", "Mesh { 1; 0;0;0;; 0;; } Material M { 1;1;1;1;; 0;; 0;0;0;; 0;0;0;; TextureFilename { \"abc\n\"; } }"},
        {"unterminated GUID", "Thing { <1234 }"},
        {"stray character", "Mesh @ { }"},
        {"missing closing brace", tri + "3;0,1,2;;"},
        {"stray closing brace", "}"},
        {"template inside an object", "Frame { template T { <11111111-2222-3333-4444-555555555555> DWORD a; } }"},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadText(c.text), D3DXERR_INVALIDDATA) << c.why;
}

TEST(XFileRobust, NestingIsLimited) {
    auto frames = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += "Frame {\n";
        s += "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
        for (int i = 0; i < depth; ++i) s += "}\n";
        return s;
    };
    EXPECT_EQ(LoadText(frames(xfile::kMaxDepth - 1)), S_OK);
    EXPECT_EQ(LoadText(frames(xfile::kMaxDepth)), D3DXERR_INVALIDDATA);
    EXPECT_EQ(LoadText(frames(5000)), D3DXERR_INVALIDDATA);
    EXPECT_EQ(LoadText("Thing " + std::string(100000, '{') + std::string(100000, '}')), D3DXERR_INVALIDDATA);
    EXPECT_EQ(LoadText("Thing { " + std::string(40, '{') + std::string(40, '}') + " }"), S_OK);
}

namespace {
// Offsets of the first block's fields in a compressed file.
constexpr size_t kTotal = 16, kUsize = 20, kCsize = 22, kSig = 24;

void PutU16(std::vector<uint8_t>& f, size_t at, uint16_t v) {
    f[at] = static_cast<uint8_t>(v);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t GetU16(const std::vector<uint8_t>& f, size_t at) { return static_cast<uint16_t>(f[at] | (f[at + 1] << 8)); }
}  // namespace

TEST(XFileRobust, BadCompressionFails) {
    const std::vector<uint8_t> good = xtest::Compress(CubeText(), 400);
    const uint32_t total = static_cast<uint32_t>(CubeText().size());
    const uint16_t usize = GetU16(good, kUsize), csize = GetU16(good, kCsize);
    {
        FlatMesh m;
        ASSERT_EQ(Load(good, m), S_OK);
    }
    const struct {
        const char* why;
        std::function<void(std::vector<uint8_t>&)> spoil;
    } cases[] = {
        {"signature", [](std::vector<uint8_t>& f) { f[kSig + 1] = 'X'; }},
        {"declared size one more", [&](std::vector<uint8_t>& f) { PutU32(f, kTotal, total + 1); }},
        {"declared size one less", [&](std::vector<uint8_t>& f) { PutU32(f, kTotal, total - 1); }},
        {"declared size below the header", [](std::vector<uint8_t>& f) { PutU32(f, kTotal, 3); }},
        {"declared size huge", [](std::vector<uint8_t>& f) { PutU32(f, kTotal, 0xFFFFFFFF); }},
        {"block size zero", [](std::vector<uint8_t>& f) { PutU16(f, kUsize, 0); }},
        {"block size over 32 KiB", [](std::vector<uint8_t>& f) { PutU16(f, kUsize, 40000); }},
        {"block size one less", [&](std::vector<uint8_t>& f) { PutU16(f, kUsize, usize - 1); }},
        {"compressed size short", [&](std::vector<uint8_t>& f) { PutU16(f, kCsize, csize - 3); }},
        {"compressed size long", [&](std::vector<uint8_t>& f) { PutU16(f, kCsize, csize + 5); }},
        {"deflate block type 3", [](std::vector<uint8_t>& f) { f[kSig + 2] = 0x07; }},
        {"trailing blocks cut", [](std::vector<uint8_t>& f) { f.resize(f.size() - 1); }},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bad = good;
        c.spoil(bad);
        FlatMesh m;
        EXPECT_EQ(Load(bad, m), D3DXERR_INVALIDDATA) << c.why;
    }
}

// The multi-block test data really depends on the previous block's output:
// its second block does not inflate on its own.
TEST(XFileRobust, SecondBlockNeedsTheFirstAsDictionary) {
    const std::vector<uint8_t> packed = xtest::Compress(CubeText(), 400);
    const size_t second = kUsize + 4 + GetU16(packed, kCsize);
    ASSERT_LT(second + 6, packed.size());
    ASSERT_EQ(packed[second + 4], 'C');
    const size_t usize = GetU16(packed, second), csize = GetU16(packed, second + 2);
    std::vector<uint8_t> out(usize);
    z_stream z{};
    ASSERT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<Bytef*>(packed.data() + second + 6);
    z.avail_in = static_cast<uInt>(csize - 2);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_DATA_ERROR);
    inflateEnd(&z);
}
