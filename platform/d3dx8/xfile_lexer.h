// Internals of the .x reader: the file header, MSZIP inflation and the
// token stream shared by the text and binary encodings.
//
// Usage:
//   xfile::Header h; std::vector<uint8_t> inflated; const uint8_t* body; size_t n;
//   if (!xfile::OpenBody(data, size, h, inflated, body, n)) -> invalid
//   xfile::Lexer lex(body, n, h.binary, h.floatBits);
//   while (lex.peek() != xfile::Tok::End) { xfile::Token t = lex.next(); ... }
// The lexer throws xfile::DataError on malformed input; the parser turns
// that into D3DXERR_INVALIDDATA at its boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace xfile {

struct DataError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Header {
    bool binary = false;
    bool compressed = false;
    int floatBits = 32;
};

// Checks the 16-byte header and, for "tzip"/"bzip", inflates the MSZIP
// blocks into `inflated`. On success body/bodySize is the token data (inside
// `data` or `inflated`). Returns false on any fault.
bool OpenBody(const uint8_t* data, size_t size, Header& header, std::vector<uint8_t>& inflated,
              const uint8_t*& body, size_t& bodySize);

enum class Tok : uint8_t {
    End,
    Name,
    String,
    Integer,
    Float,
    Guid,
    OBrace,
    CBrace,
    Comma,
    Semicolon,
    Punct,    // ( ) [ ] < > . in template declarations
    Keyword,  // binary primitive-type and "template" tokens
};

struct Token {
    Tok kind = Tok::End;
    std::string text;     // Name, String, Keyword ("template" for the template token)
    int64_t integer = 0;  // Integer
    double number = 0.0;  // Float, and Integer converted
};

class Lexer {
public:
    Lexer(const uint8_t* data, size_t size, bool binary, int floatBits);

    Tok peek();
    const Token& peekToken() {
        peek();
        return ahead_;
    }
    Token next();
    // Bytes not yet consumed (a pending binary list's elements included).
    size_t remaining() const { return size_ - pos_ + (hasAhead_ ? aheadBytes_ : 0); }
    // The fewest bytes any one value can take in this encoding.
    size_t minValueBytes() const { return binary_ ? 4 : 2; }
    bool binary() const { return binary_; }

private:
    Token lex();
    Token lexText();
    Token lexBinary();
    void skipSpaceAndComments();
    uint16_t readU16();
    uint32_t readU32();
    std::string readBytes(size_t n);

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool binary_;
    int floatBits_;

    // Elements still to come from a binary INTEGER_LIST or FLOAT_LIST.
    Tok listKind_ = Tok::End;
    uint32_t listLeft_ = 0;

    bool hasAhead_ = false;
    size_t aheadBytes_ = 0;  // bytes the lookahead token took
    Token ahead_;
};

}  // namespace xfile
