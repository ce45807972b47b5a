#include "tests/xfile/xfile_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/d3d8/d3d8.h"

namespace xtest {

// --- text -------------------------------------------------------------------

TextWriter::TextWriter(int floatBits) {
    out_ = floatBits == 64 ? "xof 0302txt 0064\n" : "xof 0302txt 0032\n";
}

void TextWriter::Begin(const std::string& type, const std::string& name) {
    out_ += std::string(indent_ * 2, ' ') + type + (name.empty() ? "" : " " + name) + " {\n";
    ++indent_;
}

void TextWriter::End() {
    --indent_;
    out_ += std::string(indent_ * 2, ' ') + "}\n";
}

void TextWriter::Ints(const std::vector<uint32_t>& values) {
    out_ += std::string(indent_ * 2, ' ');
    for (size_t i = 0; i < values.size(); ++i) out_ += std::to_string(values[i]) + (i + 1 < values.size() ? "," : ";");
    out_ += "\n";
}

void TextWriter::Floats(const std::vector<double>& values) {
    out_ += std::string(indent_ * 2, ' ');
    char buf[40];
    for (size_t i = 0; i < values.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%.17g%s", values[i], i + 1 < values.size() ? ";" : ";;");
        out_ += buf;
    }
    out_ += "\n";
}

void TextWriter::String(const std::string& s) { out_ += std::string(indent_ * 2, ' ') + "\"" + s + "\";\n"; }

void TextWriter::Ref(const std::string& name) { out_ += std::string(indent_ * 2, ' ') + "{ " + name + " }\n"; }

void TextWriter::Template(const std::string& name) {
    out_ += "template " + name +
            " {\n <3D82AB5E-62DA-11cf-AB39-0020AF71E433>\n DWORD nItems;\n array FLOAT values[nItems];\n [...]\n}\n";
}

// --- binary -----------------------------------------------------------------

namespace {
enum : uint16_t {
    kName = 1,
    kString = 2,
    kGuid = 5,
    kIntegerList = 6,
    kFloatList = 7,
    kOBrace = 10,
    kCBrace = 11,
    kOBracket = 14,
    kCBracket = 15,
    kDot = 18,
    kSemicolon = 20,
    kTemplate = 31,
    kDwordType = 41,
    kFloatType = 42,
    kArray = 52,
};
}  // namespace

BinaryWriter::BinaryWriter(int floatBits, bool wordTerminator)
    : floatBits_(floatBits), wordTerminator_(wordTerminator) {
    const char* h = floatBits == 64 ? "xof 0302bin 0064" : "xof 0302bin 0032";
    out_.assign(h, h + 16);
}

void BinaryWriter::Word(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
}

void BinaryWriter::Dword(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void BinaryWriter::Name(const std::string& s) {
    Word(kName);
    Dword(static_cast<uint32_t>(s.size()));
    out_.insert(out_.end(), s.begin(), s.end());
}

void BinaryWriter::Begin(const std::string& type, const std::string& name) {
    Name(type);
    if (!name.empty()) Name(name);
    Word(kOBrace);
}

void BinaryWriter::End() { Word(kCBrace); }

void BinaryWriter::Ints(const std::vector<uint32_t>& values) {
    Word(kIntegerList);
    Dword(static_cast<uint32_t>(values.size()));
    for (uint32_t v : values) Dword(v);
}

void BinaryWriter::Floats(const std::vector<double>& values) {
    Word(kFloatList);
    Dword(static_cast<uint32_t>(values.size()));
    for (double d : values) {
        if (floatBits_ == 64) {
            uint8_t b[8];
            std::memcpy(b, &d, 8);
            out_.insert(out_.end(), b, b + 8);
        } else {
            Dword(FtoDW(static_cast<float>(d)));
        }
    }
}

void BinaryWriter::String(const std::string& s) {
    Word(kString);
    Dword(static_cast<uint32_t>(s.size()));
    out_.insert(out_.end(), s.begin(), s.end());
    if (wordTerminator_) {
        Word(kSemicolon);
    } else {
        Dword(kSemicolon);
    }
}

void BinaryWriter::Ref(const std::string& name) {
    Word(kOBrace);
    Name(name);
    Word(kCBrace);
}

void BinaryWriter::Template(const std::string& name) {
    Word(kTemplate);
    Name(name);
    Word(kOBrace);
    Word(kGuid);
    for (int i = 0; i < 16; ++i) out_.push_back(static_cast<uint8_t>(0x11 * i));
    Word(kDwordType);
    Name("nItems");
    Word(kSemicolon);
    Word(kArray);
    Word(kFloatType);
    Name("values");
    Word(kOBracket);
    Name("nItems");
    Word(kCBracket);
    Word(kSemicolon);
    Word(kOBracket);
    Word(kDot), Word(kDot), Word(kDot);
    Word(kCBracket);
    Word(kCBrace);
}

// --- MSZIP --------------------------------------------------------------------

std::vector<uint8_t> Compress(const std::vector<uint8_t>& plainFile, size_t blockSize) {
    if (plainFile.size() < 16 || blockSize == 0 || blockSize > 32768) throw std::invalid_argument("Compress");
    std::vector<uint8_t> out(plainFile.begin(), plainFile.begin() + 16);
    std::memcpy(out.data() + 8, plainFile[8] == 'b' ? "bzip" : "tzip", 4);
    const uint32_t total = static_cast<uint32_t>(plainFile.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(total >> (8 * i)));

    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("zlib");
    std::vector<uint8_t> block(65536);
    for (size_t at = 16; at < plainFile.size(); at += blockSize) {
        const size_t n = std::min(blockSize, plainFile.size() - at);
        deflateReset(&z);
        const size_t dict = std::min<size_t>(at - 16, 32768);
        if (dict > 0) deflateSetDictionary(&z, plainFile.data() + at - dict, static_cast<uInt>(dict));
        z.next_in = const_cast<Bytef*>(plainFile.data() + at);
        z.avail_in = static_cast<uInt>(n);
        z.next_out = block.data();
        z.avail_out = static_cast<uInt>(block.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        const size_t c = block.size() - z.avail_out;
        const uint32_t csize = static_cast<uint32_t>(c + 2);  // counts "CK"
        out.push_back(static_cast<uint8_t>(n)), out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(csize)), out.push_back(static_cast<uint8_t>(csize >> 8));
        out.push_back('C'), out.push_back('K');
        out.insert(out.end(), block.begin(), block.begin() + static_cast<long>(c));
    }
    deflateEnd(&z);
    return out;
}

// --- the reference cube ---------------------------------------------------------

void WriteCube(Writer& w) {
    w.Template("Unused");
    w.Begin("Material", "Red");
    w.Floats({1, 0, 0, 1});
    w.Floats({8});
    w.Floats({0.5, 0.5, 0.5});
    w.Floats({0, 0, 0.25});
    w.End();

    w.Begin("Frame", "Root");
    w.Begin("FrameTransformMatrix");
    w.Floats({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 10, 20, 30, 1});
    w.End();
    w.Begin("Frame", "Inner");
    w.Begin("FrameTransformMatrix");
    w.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1});
    w.End();

    w.Begin("Mesh", "Cube");
    w.Ints({8});
    w.Floats({-1, -1, -1, -1, 1, -1, 1, 1, -1, 1, -1, -1, -1, -1, 1, -1, 1, 1, 1, 1, 1, 1, -1, 1});
    w.Ints({6});
    w.Ints({4, 0, 1, 2, 3, 4, 7, 6, 5, 4, 4, 4, 5, 1, 0, 4, 3, 2, 6, 7, 4, 1, 5, 6, 2, 4, 4, 0, 3, 7});

    w.Begin("MeshNormals");
    w.Ints({6});
    w.Floats({0, 0, -1, 0, 0, 1, -1, 0, 0, 1, 0, 0, 0, 1, 0, 0, -1, 0});
    w.Ints({6});
    w.Ints({4, 0, 0, 0, 0, 4, 1, 1, 1, 1, 4, 2, 2, 2, 2, 4, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5});
    w.End();

    w.Begin("MeshTextureCoords");
    w.Ints({8});
    w.Floats({0, 1, 0.125, 0.875, 0.25, 0.75, 0.375, 0.625, 0.5, 0.5, 0.625, 0.375, 0.75, 0.25, 0.875, 0.125});
    w.End();

    w.Begin("VertexDuplicationIndices");  // not read: skipped whole
    w.Ints({8, 8, 0, 1, 2, 3, 4, 5, 6, 7});
    w.End();

    w.Begin("MeshMaterialList");
    w.Ints({2, 6, 0, 1, 0, 1, 0, 1});
    w.Ref("Red");
    w.Begin("Material", "Wood");
    w.Floats({0.5, 0.25, 0, 0.5});
    w.Floats({0});
    w.Floats({0, 0, 0});
    w.Floats({0, 0, 0});
    w.Begin("TextureFilename");
    w.String("maps/wood.png");
    w.End();
    w.End();
    w.End();  // MeshMaterialList

    w.End();  // Mesh
    w.End();  // Inner
    w.End();  // Root
}

}  // namespace xtest
