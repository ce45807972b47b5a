// The mesh container on the recording device, and the media path search.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/show/show_fixture.h"
#include "tests/support/temp_dir.h"
#include "util/media_path.h"
#include "util/xfile_mesh.h"

using namespace vt::test;
namespace fs = std::filesystem;

namespace {

// A unit cube in a text .x file, optionally with a material list whose
// materials have the given diffuse alphas (faces alternate between them).
std::string CubeX(const std::vector<float>& alphas, float scale = 1.0f, float offsetX = 0.0f)
{
    std::string s = "xof 0302txt 0032\nMesh {\n8;\n";
    for (int i = 0; i < 8; i++) {
        char line[96];
        snprintf(line, sizeof(line), "%g;%g;%g;%s\n", offsetX + scale * ((i & 1) ? 1 : -1),
                 scale * ((i & 2) ? 1 : -1), scale * ((i & 4) ? 1 : -1), i == 7 ? ";" : ",");
        s += line;
    }
    s += "6;\n4;0,2,3,1;,\n4;4,5,7,6;,\n4;0,1,5,4;,\n4;2,6,7,3;,\n4;0,4,6,2;,\n4;1,3,7,5;;\n";
    if (!alphas.empty()) {
        s += "MeshMaterialList {\n" + std::to_string(alphas.size()) + ";\n6;\n";
        for (int f = 0; f < 6; f++)
            s += std::to_string(f % alphas.size()) + (f == 5 ? ";;\n" : ",\n");
        for (float a : alphas) {
            char m[160];
            snprintf(m, sizeof(m), "Material {\n0.5;0.25;1.0;%g;;\n4.0;\n0;0;0;;\n0;0;0;;\n}\n", a);
            s += m;
        }
        s += "}\n";
    }
    return s + "}\n";
}

class MeshContainer : public ShowFixture {
protected:
    void TearDown() override
    {
        vt::win32::ClearRegistry();
        ShowFixture::TearDown();
    }
    std::string Write(const std::string& name, const std::string& text) { return temp.Write(name, text).string(); }
    vt::test::TempDir temp{"mesh"};
    const fs::path dir = temp.Path();
};

TEST_F(MeshContainer, OpaqueAndTranslucentPassesFollowTheMaterialsAlpha)
{
    const std::string file = Write("two.x", CubeX({1.0f, 0.5f}));
    const int liveBefore = dev.LiveResources();
    CXFileMesh mesh("CD3DFile_Mesh");
    ASSERT_EQ(mesh.Create(&dev, file.c_str()), S_OK);
    ASSERT_EQ(mesh.GetNumMaterials(), 2u);
    ASSERT_EQ(mesh.CreateDeviceMesh(&dev), S_OK);

    dev.ClearLog();
    ASSERT_EQ(mesh.Render(&dev, TRUE, FALSE), S_OK);
    ASSERT_EQ(dev.Count("SetMaterial"), 1u);
    const D3DMATERIAL8* m = dev.Last("SetMaterial")->Payload<D3DMATERIAL8>();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Diffuse.a, 1.0f);
    EXPECT_EQ(m->Ambient.r, m->Diffuse.r);  // ambient follows diffuse
    EXPECT_EQ(m->Ambient.g, 0.25f);
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 1u);

    dev.ClearLog();
    ASSERT_EQ(mesh.Render(&dev, FALSE, TRUE), S_OK);
    ASSERT_EQ(dev.Count("SetMaterial"), 1u);
    EXPECT_EQ(dev.Last("SetMaterial")->Payload<D3DMATERIAL8>()->Diffuse.a, 0.5f);

    // With materials off every subset is drawn in the opaque pass only.
    mesh.EnableMaterials(FALSE);
    dev.ClearLog();
    ASSERT_EQ(mesh.Render(&dev, TRUE, TRUE), S_OK);
    EXPECT_EQ(dev.Count("SetMaterial"), 0u);
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 2u);
    mesh.Destroy();
    dev.SetStreamSource(0, nullptr, 0);  // the device holds what it last drew from
    dev.SetIndices(nullptr, 0);
    EXPECT_EQ(dev.LiveResources(), liveBefore);
}

TEST_F(MeshContainer, NoMaterialsDrawsNothingAndNoDeviceMeshFails)
{
    const std::string file = Write("plain.x", CubeX({}));
    CXFileMesh mesh("CD3DFile_Mesh");
    EXPECT_EQ(mesh.Render(&dev, TRUE, TRUE), E_FAIL);
    EXPECT_EQ(mesh.CreateDeviceMesh(&dev), E_FAIL);
    ASSERT_EQ(mesh.Create(&dev, file.c_str()), S_OK);
    EXPECT_EQ(mesh.GetNumMaterials(), 0u);
    ASSERT_EQ(mesh.CreateDeviceMesh(&dev), S_OK);
    dev.ClearLog();
    EXPECT_EQ(mesh.Render(&dev, TRUE, TRUE), S_OK);
    EXPECT_EQ(dev.Count("DrawIndexedPrimitive"), 0u);
}

TEST_F(MeshContainer, SizeMeshCentresAndScalesTheBoundingSphere)
{
    const std::string file = Write("offset.x", CubeX({1.0f}, 3.0f, 10.0f));
    CXFileMesh mesh("CD3DFile_Mesh");
    ASSERT_EQ(mesh.Create(&dev, file.c_str()), S_OK);
    ASSERT_EQ(mesh.ConvertFVF(&dev, D3DFVF_XYZ | D3DFVF_NORMAL), S_OK);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(mesh.GetSystemMesh()->GetVertexBuffer(&vb), S_OK);
    ASSERT_EQ(SizeMesh(&mesh, vb, 60.0f), S_OK);
    BYTE* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_READONLY), S_OK);
    D3DXVECTOR3 centre;
    float radius = 0;
    D3DXComputeBoundingSphere(p, mesh.GetSystemMesh()->GetNumVertices(), D3DFVF_XYZ | D3DFVF_NORMAL, &centre,
                              &radius);
    vb->Unlock();
    EXPECT_NEAR(radius, 60.0f, 1e-3f);
    EXPECT_NEAR(D3DXVec3Length(&centre), 0.0f, 1e-4f);

    EXPECT_EQ(SizeMesh(&mesh, nullptr, 60.0f), E_FAIL);
    EXPECT_EQ(CenterMesh(&mesh, nullptr), E_FAIL);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "SizeMesh()\nA buffer pointer is NULL!");
    EXPECT_EQ(boxes[1].text, "CenterMesh()\nA buffer pointer is NULL!");
    dev.FailNext("VertexBuffer.Lock", D3DERR_INVALIDCALL);
    EXPECT_EQ(CenterMesh(&mesh, vb), E_FAIL);
    EXPECT_EQ(boxes.size(), 2u);
    vb->Release();
}

TEST_F(MeshContainer, MissingFileReturnsTheLoadersResult)
{
    CXFileMesh mesh("CD3DFile_Mesh");
    EXPECT_LT(mesh.Create(&dev, (dir / "nothing.x").string().c_str()), 0);
    EXPECT_EQ(mesh.GetSystemMesh(), nullptr);
    EXPECT_EQ(mesh.GetNumMaterials(), 0u);
}

class MediaPath : public MeshContainer {};

TEST_F(MediaPath, WorkingDirectoryFirstThenTheSdkFolder)
{
    const fs::path old = fs::current_path();
    const fs::path work = dir / "work";
    fs::create_directories(work / "data");
    fs::current_path(work);
    char path[MAX_PATH];

    // No key: not found, the path is the name.
    EXPECT_EQ(FindMediaFile(path, "data\\star.x"), E_FAIL);
    EXPECT_STREQ(path, "data\\star.x");
    EXPECT_STREQ(GetSdkMediaPath(), "");

    // Only in the SDK folder: registry value, "\Media\", then the name.
    const std::string sdk = (dir / "sdk").string();
    fs::create_directories(dir / "sdk" / "Media" / "data");
    std::ofstream(dir / "sdk" / "Media" / "data" / "star.x") << "x";
    vt::win32::SetRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX", "DX8SDK Samples Path", sdk);
    EXPECT_EQ(FindMediaFile(path, "data\\star.x"), S_OK);
    EXPECT_EQ(std::string(path), sdk + "\\Media\\data\\star.x");

    // Present in the working directory: used from there.
    std::ofstream(work / "data" / "star.x") << "x";
    EXPECT_EQ(FindMediaFile(path, "data\\star.x"), S_OK);
    EXPECT_STREQ(path, "data\\star.x");

    EXPECT_EQ(FindMediaFile(nullptr, "a"), E_INVALIDARG);
    strcpy(path, "untouched");
    EXPECT_EQ(FindMediaFile(path, nullptr), E_INVALIDARG);
    EXPECT_STREQ(path, "untouched");

    // Paths longer than the buffer are cut, never overrun.
    const std::string longName(400, 'a');
    EXPECT_EQ(FindMediaFile(path, longName.c_str()), E_FAIL);
    EXPECT_EQ(strlen(path), (size_t)MAX_PATH - 1);
    fs::current_path(old);
}

}  // namespace
