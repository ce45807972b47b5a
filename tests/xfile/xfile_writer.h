// Test-side .x writers: the same calls produce a text or a binary file, and
// Compress() turns either into its MSZIP ("tzip"/"bzip") form.
//
//   TextWriter w(32);            // or BinaryWriter w(64);
//   w.Begin("Mesh", "m"); w.Ints({3}); w.Floats({...}); w.End();
//   std::vector<uint8_t> file = w.Bytes();
//   std::vector<uint8_t> packed = Compress(file, 4096);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xtest {

class Writer {
public:
    virtual ~Writer() = default;
    virtual void Begin(const std::string& type, const std::string& name = "") = 0;
    virtual void End() = 0;
    virtual void Ints(const std::vector<uint32_t>& values) = 0;
    virtual void Floats(const std::vector<double>& values) = 0;
    virtual void String(const std::string& s) = 0;
    virtual void Ref(const std::string& name) = 0;
    // template Name { <guid> DWORD a; FLOAT b; [...] }
    virtual void Template(const std::string& name) = 0;
    virtual std::vector<uint8_t> Bytes() const = 0;
};

class TextWriter : public Writer {
public:
    explicit TextWriter(int floatBits);
    void Begin(const std::string& type, const std::string& name = "") override;
    void End() override;
    void Ints(const std::vector<uint32_t>& values) override;
    void Floats(const std::vector<double>& values) override;
    void String(const std::string& s) override;
    void Ref(const std::string& name) override;
    void Template(const std::string& name) override;
    void Raw(const std::string& text) { out_ += text; }
    std::vector<uint8_t> Bytes() const override { return {out_.begin(), out_.end()}; }

private:
    std::string out_;
    int indent_ = 0;
};

class BinaryWriter : public Writer {
public:
    // wordTerminator: end strings with a WORD separator token instead of
    // the documented DWORD.
    explicit BinaryWriter(int floatBits, bool wordTerminator = false);
    void Begin(const std::string& type, const std::string& name = "") override;
    void End() override;
    void Ints(const std::vector<uint32_t>& values) override;
    void Floats(const std::vector<double>& values) override;
    void String(const std::string& s) override;
    void Ref(const std::string& name) override;
    void Template(const std::string& name) override;
    std::vector<uint8_t> Bytes() const override { return out_; }

    void Word(uint16_t v);
    void Dword(uint32_t v);
    void Name(const std::string& s);

private:
    std::vector<uint8_t> out_;
    int floatBits_;
    bool wordTerminator_;
};

// MSZIP form of a plain .x file, blocks of at most blockSize input bytes,
// each block allowed to refer back into the previous 32 KiB.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& plainFile, size_t blockSize);

// The reference scene: a cube with per-face normals, texture coordinates
// and a two-material list (one textured), inside two nested frames.
void WriteCube(Writer& w);

}  // namespace xtest
