// .x header check, MSZIP inflation, and the text/binary token stream.
#include "platform/d3dx8/xfile_lexer.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx8/xfile_scene.h"

namespace xfile {

namespace {

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsAlpha(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// zlib stream that is always released.
class RawInflater {
public:
    RawInflater() {
        std::memset(&z_, 0, sizeof z_);
        ok_ = inflateInit2(&z_, -15) == Z_OK;
    }
    ~RawInflater() {
        if (ok_) inflateEnd(&z_);
    }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;

    // Inflates one complete raw deflate stream from in[0, inSize) into out,
    // which must be filled exactly. dict is the history the stream may
    // refer back to. Returns the input bytes the stream took, or -1.
    long Block(const uint8_t* dict, size_t dictSize, const uint8_t* in, size_t inSize, uint8_t* out,
               size_t outSize) {
        if (!ok_ || inflateReset(&z_) != Z_OK) return -1;
        if (dictSize > 0 && inflateSetDictionary(&z_, dict, static_cast<uInt>(dictSize)) != Z_OK) return -1;
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = static_cast<uInt>(inSize);
        z_.next_out = out;
        z_.avail_out = static_cast<uInt>(outSize);
        int rc = inflate(&z_, Z_FINISH);
        if (rc != Z_STREAM_END || z_.avail_out != 0) return -1;
        return static_cast<long>(inSize - z_.avail_in);
    }

private:
    z_stream z_;
    bool ok_ = false;
};

// After the 16-byte header: DWORD size of the whole decompressed file
// (header included), then blocks of WORD uncompressed size, WORD compressed
// size, "CK" and a raw deflate stream that may refer back into the output
// of earlier blocks (up to 32 KiB).
bool InflateMsZip(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    size_t pos = 16;
    if (size < pos + 4) return false;
    uint32_t declared = LoadU32(data + pos);
    pos += 4;
    if (declared < 16 || declared - 16 > kMaxFileBytes) return false;
    const size_t expected = declared - 16;
    out.clear();
    out.reserve(std::min<size_t>(expected, 1u << 20));

    RawInflater inflater;
    while (out.size() < expected) {
        if (size - pos < 6) return false;
        size_t usize = LoadU16(data + pos);
        size_t csize = LoadU16(data + pos + 2);
        pos += 4;
        if (usize == 0 || usize > 32768 || out.size() + usize > expected) return false;
        if (data[pos] != 'C' || data[pos + 1] != 'K') return false;
        const size_t start = out.size();
        out.resize(start + usize);
        const size_t dictSize = std::min<size_t>(start, 32768);
        const size_t avail = std::min(csize, size - pos - 2);
        long used = inflater.Block(out.data() + start - dictSize, dictSize, data + pos + 2, avail,
                                   out.data() + start, usize);
        if (used < 0) return false;
        // The compressed size normally counts the "CK" signature; some
        // writers leave it out. The stream's own end tells which.
        if (static_cast<size_t>(used) + 2 == csize) {
            pos += csize;
        } else if (static_cast<size_t>(used) == csize) {
            pos += csize + 2;
        } else {
            return false;
        }
    }
    return true;
}

// A whole decimal number in [first, last), locale-independent. Emscripten's
// C++ library has no floating-point from_chars; its C library reads numbers
// in the fixed "C" locale, so strtod serves there.
bool ReadDouble(const char* first, const char* last, double& out) {
#ifdef __EMSCRIPTEN__
    const std::string text(first, last);
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && errno == 0 && end == text.c_str() + text.size();
#else
    auto r = std::from_chars(first, last, out);
    return r.ec == std::errc() && r.ptr == last;
#endif
}

}  // namespace

bool OpenBody(const uint8_t* data, size_t size, Header& header, std::vector<uint8_t>& inflated,
              const uint8_t*& body, size_t& bodySize) {
    if (data == nullptr || size < 16 || size > kMaxFileBytes) return false;
    if (std::memcmp(data, "xof ", 4) != 0) return false;
    for (int i = 4; i < 8; ++i)
        if (!IsDigit(data[i])) return false;
    if (std::memcmp(data + 4, "03", 2) != 0) return false;

    const char* fmt = reinterpret_cast<const char*>(data + 8);
    if (std::memcmp(fmt, "txt ", 4) == 0) {
        header.binary = false, header.compressed = false;
    } else if (std::memcmp(fmt, "bin ", 4) == 0) {
        header.binary = true, header.compressed = false;
    } else if (std::memcmp(fmt, "tzip", 4) == 0) {
        header.binary = false, header.compressed = true;
    } else if (std::memcmp(fmt, "bzip", 4) == 0) {
        header.binary = true, header.compressed = true;
    } else {
        return false;
    }
    if (std::memcmp(data + 12, "0032", 4) == 0) {
        header.floatBits = 32;
    } else if (std::memcmp(data + 12, "0064", 4) == 0) {
        header.floatBits = 64;
    } else {
        return false;
    }

    if (!header.compressed) {
        body = data + 16;
        bodySize = size - 16;
        return true;
    }
    if (!InflateMsZip(data, size, inflated)) return false;
    body = inflated.data();
    bodySize = inflated.size();
    return true;
}

// --- token stream ----------------------------------------------------------

namespace {
// Binary token values of the published encoding.
enum : uint16_t {
    kName = 1,
    kString = 2,
    kInteger = 3,
    kGuid = 5,
    kIntegerList = 6,
    kFloatList = 7,
    kOBrace = 10,
    kCBrace = 11,
    kOParen = 12,
    kDot = 18,
    kComma = 19,
    kSemicolon = 20,
    kTemplate = 31,
    kFirstType = 40,
    kLastType = 52,
};
}  // namespace

Lexer::Lexer(const uint8_t* data, size_t size, bool binary, int floatBits)
    : data_(data), size_(size), binary_(binary), floatBits_(floatBits) {}

Tok Lexer::peek() {
    if (!hasAhead_) {
        size_t before = pos_;
        ahead_ = lex();
        aheadBytes_ = pos_ - before;
        hasAhead_ = true;
    }
    return ahead_.kind;
}

Token Lexer::next() {
    peek();
    hasAhead_ = false;
    aheadBytes_ = 0;
    return std::move(ahead_);
}

Token Lexer::lex() { return binary_ ? lexBinary() : lexText(); }

uint16_t Lexer::readU16() {
    if (size_ - pos_ < 2) throw DataError("truncated token");
    uint16_t v = LoadU16(data_ + pos_);
    pos_ += 2;
    return v;
}

uint32_t Lexer::readU32() {
    if (size_ - pos_ < 4) throw DataError("truncated record");
    uint32_t v = LoadU32(data_ + pos_);
    pos_ += 4;
    return v;
}

std::string Lexer::readBytes(size_t n) {
    if (size_ - pos_ < n) throw DataError("truncated record");
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
}

Token Lexer::lexBinary() {
    Token t;
    while (listLeft_ == 0 || listKind_ == Tok::End) {
        listKind_ = Tok::End;
        if (pos_ == size_) return t;  // End
        uint16_t code = readU16();
        switch (code) {
            case kName:
                t.kind = Tok::Name;
                t.text = readBytes(readU32());
                return t;
            case kString: {
                t.kind = Tok::String;
                t.text = readBytes(readU32());
                // The terminator is documented as a DWORD but written as a
                // WORD by some writers; accept both.
                if (size_ - pos_ >= 2) {
                    uint16_t term = LoadU16(data_ + pos_);
                    if (term == kComma || term == kSemicolon) {
                        pos_ += 2;
                        if (size_ - pos_ >= 2 && LoadU16(data_ + pos_) == 0) pos_ += 2;
                    }
                }
                return t;
            }
            case kInteger:
                t.kind = Tok::Integer;
                t.integer = readU32();
                t.number = static_cast<double>(t.integer);
                return t;
            case kGuid:
                if (size_ - pos_ < 16) throw DataError("truncated GUID");
                pos_ += 16;
                t.kind = Tok::Guid;
                return t;
            case kIntegerList:
            case kFloatList: {
                uint32_t count = readU32();
                size_t elem = code == kIntegerList ? 4 : static_cast<size_t>(floatBits_ / 8);
                if (count > (size_ - pos_) / elem) throw DataError("list longer than the file");
                listKind_ = code == kIntegerList ? Tok::Integer : Tok::Float;
                listLeft_ = count;
                continue;  // an empty list yields nothing
            }
            case kOBrace:
                t.kind = Tok::OBrace;
                return t;
            case kCBrace:
                t.kind = Tok::CBrace;
                return t;
            case kComma:
                t.kind = Tok::Comma;
                return t;
            case kSemicolon:
                t.kind = Tok::Semicolon;
                return t;
            case kTemplate:
                t.kind = Tok::Keyword;
                t.text = "template";
                return t;
            default:
                if (code >= kOParen && code <= kDot) {
                    t.kind = Tok::Punct;
                    return t;
                }
                if (code >= kFirstType && code <= kLastType) {
                    t.kind = Tok::Keyword;
                    return t;
                }
                throw DataError("unknown binary token");
        }
    }
    --listLeft_;
    if (listKind_ == Tok::Integer) {
        t.kind = Tok::Integer;
        t.integer = readU32();
        t.number = static_cast<double>(t.integer);
    } else {
        t.kind = Tok::Float;
        if (floatBits_ == 64) {
            if (size_ - pos_ < 8) throw DataError("truncated list");
            double d;
            std::memcpy(&d, data_ + pos_, 8);
            pos_ += 8;
            t.number = d;
        } else {
            t.number = DWtoF(readU32());
        }
    }
    return t;
}

void Lexer::skipSpaceAndComments() {
    while (pos_ < size_) {
        uint8_t c = data_[pos_];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++pos_;
        } else if (c == '#' || (c == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/')) {
            while (pos_ < size_ && data_[pos_] != '\n') ++pos_;
        } else {
            return;
        }
    }
}

Token Lexer::lexText() {
    Token t;
    skipSpaceAndComments();
    if (pos_ == size_) return t;
    const uint8_t c = data_[pos_];
    switch (c) {
        case '{':
            ++pos_;
            t.kind = Tok::OBrace;
            return t;
        case '}':
            ++pos_;
            t.kind = Tok::CBrace;
            return t;
        case ',':
            ++pos_;
            t.kind = Tok::Comma;
            return t;
        case ';':
            ++pos_;
            t.kind = Tok::Semicolon;
            return t;
        case '(':
        case ')':
        case '[':
        case ']':
            ++pos_;
            t.kind = Tok::Punct;
            return t;
        case '<': {
            // <xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx>
            size_t end = pos_ + 1;
            while (end < size_ && end - pos_ <= 40 && data_[end] != '>') {
                uint8_t g = data_[end];
                if (!(IsDigit(g) || (g >= 'a' && g <= 'f') || (g >= 'A' && g <= 'F') || g == '-' || g == ' '))
                    throw DataError("bad GUID");
                ++end;
            }
            if (end >= size_ || data_[end] != '>') throw DataError("unterminated GUID");
            pos_ = end + 1;
            t.kind = Tok::Guid;
            return t;
        }
        case '"': {
            size_t p = pos_ + 1;
            while (p < size_ && data_[p] != '"') {
                if (data_[p] == '\n') throw DataError("unterminated string");
                if (data_[p] == '\\' && p + 1 < size_ && data_[p + 1] == '\\') {
                    t.text += '\\';
                    p += 2;
                    continue;
                }
                t.text += static_cast<char>(data_[p++]);
            }
            if (p >= size_) throw DataError("unterminated string");
            pos_ = p + 1;
            t.kind = Tok::String;
            return t;
        }
        default:
            break;
    }

    const bool dotDigit = c == '.' && pos_ + 1 < size_ && IsDigit(data_[pos_ + 1]);
    if (IsDigit(c) || c == '-' || c == '+' || dotDigit) {
        size_t end = pos_;
        bool isFloat = false;
        while (end < size_) {
            uint8_t d = data_[end];
            if (IsDigit(d) || d == '-' || d == '+') {
                ++end;
            } else if (d == '.' || d == 'e' || d == 'E') {
                isFloat = true;
                ++end;
            } else {
                break;
            }
        }
        if (end < size_ && (IsAlpha(data_[end]) || data_[end] == '_')) throw DataError("bad number");
        const char* first = reinterpret_cast<const char*>(data_ + pos_);
        const char* last = reinterpret_cast<const char*>(data_ + end);
        if (*first == '+') ++first;  // from_chars takes no plus sign
        if (isFloat) {
            if (!ReadDouble(first, last, t.number)) throw DataError("bad number");
            t.kind = Tok::Float;
        } else {
            auto r = std::from_chars(first, last, t.integer);
            if (r.ec != std::errc() || r.ptr != last) throw DataError("bad number");
            t.number = static_cast<double>(t.integer);
            t.kind = Tok::Integer;
        }
        pos_ = end;
        return t;
    }

    if (c == '.') {
        ++pos_;
        t.kind = Tok::Punct;
        return t;
    }

    if (IsAlpha(c) || c == '_') {
        size_t end = pos_;
        while (end < size_) {
            uint8_t d = data_[end];
            if (!(IsAlpha(d) || IsDigit(d) || d == '_' || d == '-' || d == '.')) break;
            ++end;
        }
        t.text.assign(reinterpret_cast<const char*>(data_ + pos_), end - pos_);
        pos_ = end;
        t.kind = Tok::Name;
        return t;
    }
    throw DataError("unexpected character");
}

}  // namespace xfile
