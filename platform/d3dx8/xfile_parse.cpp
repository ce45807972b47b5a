// .x data objects -> xfile::Scene. Frames, meshes and their normals, texture
// coordinates and material lists are read; templates and every other object
// are skipped with their braces balanced.
#include <strings.h>

#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_map>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/xfile_lexer.h"
#include "platform/d3dx8/xfile_scene.h"

namespace xfile {

Matrix IdentityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = s;
        }
    return r;
}

namespace {

bool Is(const std::string& name, const char* what) { return strcasecmp(name.c_str(), what) == 0; }

class Parser {
public:
    Parser(Lexer& lex, Scene& scene) : lex_(lex), scene_(scene) {}

    void File() {
        for (;;) {
            Tok k = lex_.peek();
            if (k == Tok::End) break;
            if (k == Tok::Comma || k == Tok::Semicolon) {
                lex_.next();
                continue;
            }
            if (k != Tok::Name && k != Tok::Keyword) throw DataError("expected an object");
            Object(Ctx::Top, -1, nullptr);
        }
        ResolveReferences();
    }

private:
    struct MaterialRef {
        size_t mesh;
        size_t slot;
        std::string name;
    };

    // --- values ---------------------------------------------------------------

    void SkipSeparators() {
        while (lex_.peek() == Tok::Comma || lex_.peek() == Tok::Semicolon) lex_.next();
    }

    uint32_t Dword() {
        SkipSeparators();
        Token t = lex_.next();
        if (t.kind != Tok::Integer || t.integer < 0 || t.integer > 0xFFFFFFFFll)
            throw DataError("expected an unsigned integer");
        return static_cast<uint32_t>(t.integer);
    }

    float Float() {
        SkipSeparators();
        Token t = lex_.next();
        if (t.kind != Tok::Float && t.kind != Tok::Integer) throw DataError("expected a number");
        if (std::isfinite(t.number) && std::fabs(t.number) > std::numeric_limits<float>::max())
            throw DataError("number out of float range");
        return static_cast<float>(t.number);
    }

    // A count of items of `valuesEach` values: refused before anything is
    // allocated when the rest of the data could not hold them.
    uint32_t Count(size_t valuesEach) {
        uint32_t n = Dword();
        const size_t room = lex_.remaining() / lex_.minValueBytes() + 1;
        if (valuesEach != 0 && n > room / valuesEach) throw DataError("count larger than the data");
        return n;
    }

    void Expect(Tok kind) {
        SkipSeparators();
        if (lex_.next().kind != kind) throw DataError("unexpected token");
    }

    // --- structure ------------------------------------------------------------

    // Name [name] [GUID] '{' [GUID], with `depth_` raised for the body.
    std::string OpenObject(std::string* objectName) {
        Token type = lex_.next();
        if (type.kind != Tok::Name) throw DataError("expected an object type");
        if (lex_.peek() == Tok::Name) {
            Token n = lex_.next();
            if (objectName) *objectName = n.text;
        }
        if (lex_.peek() == Tok::Guid) lex_.next();
        if (lex_.next().kind != Tok::OBrace) throw DataError("expected {");
        Enter();
        if (lex_.peek() == Tok::Guid) lex_.next();
        return type.text;
    }

    void Enter() {
        if (++depth_ > kMaxDepth) throw DataError("nested too deeply");
    }
    void Leave() { --depth_; }

    // Past the separators: true (and the object left) at its closing brace.
    bool CloseObject() {
        SkipSeparators();
        if (lex_.peek() != Tok::CBrace) return false;
        lex_.next();
        Leave();
        return true;
    }

    void SkipTemplate() {
        if (lex_.next().kind != Tok::Name) throw DataError("expected a template name");
        if (lex_.next().kind != Tok::OBrace) throw DataError("expected {");
        Enter();
        SkipBody();
    }

    // Consumes everything up to and including the '}' that closes the
    // current body.
    void SkipBody() {
        const int base = depth_;
        for (;;) {
            Token t = lex_.next();
            if (t.kind == Tok::End) throw DataError("unbalanced braces");
            if (t.kind == Tok::OBrace) {
                Enter();
            } else if (t.kind == Tok::CBrace) {
                Leave();
                if (depth_ < base) return;
            }
        }
    }

    void Close() {
        Expect(Tok::CBrace);
        Leave();
    }

    const std::string& PeekText() { return lex_.peekToken().text; }

    // Where an object sits decides which types are read rather than skipped.
    enum class Ctx { Top, InFrame, InMesh, Other };

    void Object(Ctx ctx, int frame, Mesh* mesh) {
        const Token& head = lex_.peekToken();
        if ((head.kind == Tok::Keyword && head.text == "template") ||
            (head.kind == Tok::Name && Is(head.text, "template"))) {
            if (depth_ != 0) throw DataError("template inside an object");
            lex_.next();
            SkipTemplate();
            return;
        }
        std::string name;
        const std::string type = OpenObject(&name);
        const bool sceneLevel = ctx == Ctx::Top || ctx == Ctx::InFrame;
        if (sceneLevel && Is(type, "Frame")) {
            FrameBody(name, frame);
        } else if (sceneLevel && Is(type, "Mesh")) {
            MeshBody(name, frame);
        } else if (sceneLevel && Is(type, "Material")) {
            Material m = MaterialBody(name);
            if (!name.empty()) named_[name] = std::move(m);
        } else if (ctx == Ctx::InMesh && Is(type, "MeshNormals")) {
            NormalsBody(*mesh);
        } else if (ctx == Ctx::InMesh && Is(type, "MeshTextureCoords")) {
            TexcoordsBody(*mesh);
        } else if (ctx == Ctx::InMesh && Is(type, "MeshMaterialList")) {
            MaterialListBody(*mesh);
        } else {
            SkipBody();
        }
    }

    // '{' name [GUID] '}' or '{' GUID '}'; returns the name (may be empty).
    std::string Reference() {
        lex_.next();  // '{'
        std::string name;
        if (lex_.peek() == Tok::Name) name = lex_.next().text;
        if (lex_.peek() == Tok::Guid) lex_.next();
        if (lex_.next().kind != Tok::CBrace) throw DataError("bad reference");
        if (name.empty()) throw DataError("reference without a name");
        return name;
    }

    // Children until the closing brace; references are ignored.
    void Children(Ctx ctx, Mesh* mesh) {
        for (;;) {
            SkipSeparators();
            switch (lex_.peek()) {
                case Tok::CBrace:
                    lex_.next();
                    Leave();
                    return;
                case Tok::OBrace:
                    Reference();
                    break;
                case Tok::Name:
                case Tok::Keyword:
                    Object(ctx, -1, mesh);
                    break;
                default:
                    throw DataError("unexpected data in object");
            }
        }
    }

    void FrameBody(const std::string& name, int parent) {
        const int index = static_cast<int>(scene_.frames.size());
        Frame f;
        f.name = name;
        f.parent = parent;
        scene_.frames.push_back(f);
        bool haveMatrix = false;
        while (!CloseObject()) {
            Tok k = lex_.peek();
            if (k == Tok::OBrace) {
                Reference();  // instanced meshes are not supported; ignored
                continue;
            }
            if (k != Tok::Name && k != Tok::Keyword) throw DataError("unexpected data in frame");
            if (Is(PeekText(), "FrameTransformMatrix")) {
                if (haveMatrix) throw DataError("second frame transform");
                haveMatrix = true;
                OpenObject(nullptr);
                Matrix m;
                for (float& v : m) v = Float();
                Close();
                scene_.frames[index].transform = m;
                scene_.frames[index].world =
                    parent < 0 ? m : Multiply(m, scene_.frames[static_cast<size_t>(parent)].world);
                // Meshes and frames read before the matrix must follow it.
                for (Mesh& mesh : scene_.meshes)
                    if (mesh.frame == index) mesh.world = scene_.frames[index].world;
                FixChildFrames(index);
            } else {
                Object(Ctx::InFrame, index, nullptr);
            }
        }
    }

    // A transform written after child frames still applies to them.
    void FixChildFrames(int index) {
        for (size_t i = static_cast<size_t>(index) + 1; i < scene_.frames.size(); ++i) {
            Frame& f = scene_.frames[i];  // all descendants: the frame is still open
            f.world = Multiply(f.transform, scene_.frames[static_cast<size_t>(f.parent)].world);
            for (Mesh& mesh : scene_.meshes)
                if (mesh.frame == static_cast<int>(i)) mesh.world = f.world;
        }
    }

    void Polygons(PolygonList& list, uint32_t faces, uint32_t indexLimit) {
        list.counts.reserve(faces);
        list.indices.reserve(static_cast<size_t>(faces) * 3);
        for (uint32_t i = 0; i < faces; ++i) {
            uint32_t n = Count(1);
            if (n < 3) throw DataError("face with fewer than three corners");
            list.counts.push_back(n);
            for (uint32_t k = 0; k < n; ++k) {
                uint32_t v = Dword();
                if (v >= indexLimit) throw DataError("index out of range");
                list.indices.push_back(v);
            }
        }
    }

    void MeshBody(const std::string& name, int frame) {
        Mesh mesh;
        mesh.name = name;
        mesh.frame = frame;
        if (frame >= 0) mesh.world = scene_.frames[static_cast<size_t>(frame)].world;
        uint32_t nv = Count(3);
        mesh.positions.reserve(nv);
        for (uint32_t i = 0; i < nv; ++i) {
            Vec3 p;
            p.x = Float();
            p.y = Float();
            p.z = Float();
            mesh.positions.push_back(p);
        }
        uint32_t nf = Count(4);
        Polygons(mesh.faces, nf, nv);
        // Children refer to the mesh while it is being filled.
        Children(Ctx::InMesh, &mesh);
        if (mesh.hasNormals && mesh.normalFaces.counts != mesh.faces.counts)
            throw DataError("normal faces do not match the mesh faces");
        if (!mesh.texcoords.empty() && mesh.texcoords.size() != mesh.positions.size())
            throw DataError("texture coordinates do not match the vertices");
        if (mesh.hasMaterialList) {
            // A short list repeats its last entry for the remaining faces.
            auto& fm = mesh.faceMaterials;
            uint32_t fill = fm.empty() ? 0 : fm.back();
            fm.resize(mesh.faces.size(), fill);
            for (uint32_t m : fm)
                if (m >= mesh.materials.size()) throw DataError("material index out of range");
        }
        // Material references were recorded against the next mesh slot.
        scene_.meshes.push_back(std::move(mesh));
    }

    void NormalsBody(Mesh& mesh) {
        uint32_t nn = Count(3);
        mesh.normals.clear();
        mesh.normals.reserve(nn);
        for (uint32_t i = 0; i < nn; ++i) {
            Vec3 n;
            n.x = Float();
            n.y = Float();
            n.z = Float();
            mesh.normals.push_back(n);
        }
        uint32_t nf = Count(4);
        mesh.normalFaces = PolygonList();
        Polygons(mesh.normalFaces, nf, nn);
        mesh.hasNormals = true;
        Children(Ctx::Other, nullptr);
    }

    void TexcoordsBody(Mesh& mesh) {
        uint32_t n = Count(2);
        mesh.texcoords.clear();
        mesh.texcoords.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            Vec2 t;
            t.u = Float();
            t.v = Float();
            mesh.texcoords.push_back(t);
        }
        Children(Ctx::Other, nullptr);
    }

    void MaterialListBody(Mesh& mesh) {
        uint32_t nm = Count(1);
        uint32_t ni = Count(1);
        mesh.faceMaterials.clear();
        mesh.faceMaterials.reserve(ni);
        for (uint32_t i = 0; i < ni; ++i) {
            uint32_t m = Dword();
            if (m >= nm) throw DataError("material index out of range");
            if (i < mesh.faces.size()) mesh.faceMaterials.push_back(m);
        }
        mesh.materials.clear();
        mesh.hasMaterialList = true;
        while (!CloseObject()) {
            Tok k = lex_.peek();
            if (k == Tok::OBrace) {
                std::string ref = Reference();
                refs_.push_back({scene_.meshes.size(), mesh.materials.size(), ref});
                mesh.materials.emplace_back();
            } else if (k == Tok::Name && Is(PeekText(), "Material")) {
                std::string name;
                OpenObject(&name);
                Material m = MaterialBody(name);
                if (!name.empty()) named_[name] = m;
                mesh.materials.push_back(std::move(m));
            } else if (k == Tok::Name || k == Tok::Keyword) {
                Object(Ctx::Other, -1, nullptr);
            } else {
                throw DataError("unexpected data in material list");
            }
        }
        if (mesh.materials.size() < nm) throw DataError("material list is missing materials");
        mesh.materials.resize(nm);
        while (!refs_.empty() && refs_.back().mesh == scene_.meshes.size() && refs_.back().slot >= nm)
            refs_.pop_back();
    }

    Material MaterialBody(const std::string& name) {
        Material m;
        m.name = name;
        for (float& c : m.diffuse) c = Float();
        m.power = Float();
        for (float& c : m.specular) c = Float();
        for (float& c : m.emissive) c = Float();
        while (!CloseObject()) {
            Tok k = lex_.peek();
            if (k == Tok::OBrace) {
                Reference();
            } else if (k == Tok::Name &&
                       (Is(PeekText(), "TextureFilename") || Is(PeekText(), "TextureFileName"))) {
                OpenObject(nullptr);
                SkipSeparators();
                Token s = lex_.next();
                if (s.kind != Tok::String) throw DataError("expected a file name");
                m.texture = s.text;
                m.hasTexture = true;
                Close();
            } else if (k == Tok::Name || k == Tok::Keyword) {
                Object(Ctx::Other, -1, nullptr);
            } else {
                throw DataError("unexpected data in material");
            }
        }
        return m;
    }

    void ResolveReferences() {
        for (const MaterialRef& r : refs_) {
            auto it = named_.find(r.name);
            if (it == named_.end()) throw DataError("reference to an unknown material");
            scene_.meshes.at(r.mesh).materials.at(r.slot) = it->second;
        }
    }

    Lexer& lex_;
    Scene& scene_;
    int depth_ = 0;
    std::unordered_map<std::string, Material> named_;
    std::vector<MaterialRef> refs_;
};

}  // namespace

HRESULT ParseXFile(const uint8_t* data, size_t size, Scene& out) {
    out = Scene();
    try {
        Header header;
        std::vector<uint8_t> inflated;
        const uint8_t* body = nullptr;
        size_t bodySize = 0;
        if (!OpenBody(data, size, header, inflated, body, bodySize)) return D3DXERR_INVALIDDATA;
        Scene scene;
        scene.binary = header.binary;
        scene.floatBits = header.floatBits;
        Lexer lex(body, bodySize, header.binary, header.floatBits);
        Parser(lex, scene).File();
        out = std::move(scene);
        return S_OK;
    } catch (const DataError&) {
        return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return D3DXERR_INVALIDDATA;
    }
}

}  // namespace xfile
