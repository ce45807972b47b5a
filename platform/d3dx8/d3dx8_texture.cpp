// Image files into managed textures: power-of-two size, stretched image,
// full box-filtered mip chain.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "platform/d3dx8/d3dx8.h"
#include "platform/d3dx8/image_decode.h"

namespace vt::d3dx8 {

namespace {

// Files larger than any image the decoders would accept are refused unread.
constexpr long kMaxFileBytes = 256l << 20;

// Smallest power of two >= v (v <= 2^31).
uint32_t CeilPow2(uint32_t v) {
    uint32_t p = 1;
    while (p < v) p <<= 1;
    return p;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads a whole file; a show path ("data\\x.png") is tried with '/' too.
HRESULT ReadFile(const char* path, std::vector<uint8_t>& bytes) {
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "rb"));
    if (!f) {
        std::string mapped(path);
        std::replace(mapped.begin(), mapped.end(), '\\', '/');
        f.reset(std::fopen(mapped.c_str(), "rb"));
    }
    if (!f) return D3DERR_NOTAVAILABLE;
    struct stat st {};
    if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return D3DERR_NOTAVAILABLE;  // e.g. a directory
    if (std::fseek(f.get(), 0, SEEK_END) != 0) return D3DERR_NOTAVAILABLE;
    const long size = std::ftell(f.get());
    if (size < 0) return D3DERR_NOTAVAILABLE;
    if (size > kMaxFileBytes) return D3DXERR_INVALIDDATA;
    std::rewind(f.get());
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

// Tent-filter taps of one axis: for output i, count[i] source pixels from
// first[i] with weights at offset[i]. Taps past an edge repeat the edge pixel.
struct Taps {
    std::vector<uint32_t> first, count;
    std::vector<size_t> offset;
    std::vector<float> weights;
};

Taps MakeTaps(uint32_t src, uint32_t dst) {
    Taps t;
    t.first.resize(dst);
    t.count.resize(dst);
    t.offset.resize(dst);
    const double scale = static_cast<double>(src) / dst;
    const double support = std::max(1.0, scale);  // tent half-width in source pixels
    const int last = static_cast<int>(src) - 1;
    std::vector<double> w;
    for (uint32_t i = 0; i < dst; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;  // source coordinate of the output centre
        const int lo = static_cast<int>(std::floor(centre - support));
        const int hi = static_cast<int>(std::ceil(centre + support));
        const int first = std::clamp(lo, 0, last);
        w.assign(static_cast<size_t>(std::clamp(hi, 0, last) - first + 1), 0.0);
        double sum = 0.0;
        for (int s = lo; s <= hi; ++s) {
            // weight = max(0, 1 - |s - centre| / support)
            const double k = std::max(0.0, 1.0 - std::fabs(s - centre) / support);
            w[static_cast<size_t>(std::clamp(s, 0, last) - first)] += k;
            sum += k;
        }
        t.first[i] = static_cast<uint32_t>(first);
        t.count[i] = static_cast<uint32_t>(w.size());
        t.offset[i] = t.weights.size();
        for (double k : w) t.weights.push_back(static_cast<float>(k / sum));
    }
    return t;
}

}  // namespace

std::vector<uint8_t> ResizeTriangle(const uint8_t* src, uint32_t sw, uint32_t sh, uint32_t dw, uint32_t dh) {
    if (sw == dw && sh == dh) return std::vector<uint8_t>(src, src + static_cast<size_t>(sw) * sh * 4);
    const Taps tx = MakeTaps(sw, dw), ty = MakeTaps(sh, dh);
    // Horizontal pass into float rows, then vertical. The source rows an
    // output row needs are a window that only moves down, so the filtered
    // rows live in a ring just large enough for the widest window.
    uint32_t ring = 1;
    for (uint32_t n : ty.count) ring = std::max(ring, n);
    const size_t rowFloats = static_cast<size_t>(dw) * 4;
    std::vector<float> rows(ring * rowFloats);
    std::vector<int64_t> held(ring, -1);  // source row in each ring slot
    auto filtered = [&](uint32_t sy) -> const float* {
        float* out = rows.data() + (sy % ring) * rowFloats;
        if (held[sy % ring] == sy) return out;
        held[sy % ring] = sy;
        const uint8_t* row = src + static_cast<size_t>(sy) * sw * 4;
        for (uint32_t x = 0; x < dw; ++x) {
            float acc[4] = {0, 0, 0, 0};
            const float* w = tx.weights.data() + tx.offset[x];
            for (uint32_t k = 0; k < tx.count[x]; ++k) {
                const uint8_t* p = row + static_cast<size_t>(tx.first[x] + k) * 4;
                for (int c = 0; c < 4; ++c) acc[c] += w[k] * p[c];
            }
            std::copy(acc, acc + 4, out + static_cast<size_t>(x) * 4);
        }
        return out;
    };
    std::vector<uint8_t> dst(static_cast<size_t>(dw) * dh * 4);
    std::vector<const float*> taps(ring);
    for (uint32_t y = 0; y < dh; ++y) {
        const float* w = ty.weights.data() + ty.offset[y];
        for (uint32_t k = 0; k < ty.count[y]; ++k) taps[k] = filtered(ty.first[y] + k);
        uint8_t* out = dst.data() + static_cast<size_t>(y) * rowFloats;
        for (size_t x = 0; x < rowFloats; ++x) {
            float acc = 0.0f;
            for (uint32_t k = 0; k < ty.count[y]; ++k) acc += w[k] * taps[k][x];
            out[x] = static_cast<uint8_t>(std::clamp(std::lround(acc), 0l, 255l));
        }
    }
    return dst;
}

void HalveBox(uint8_t* pixels, uint32_t sw, uint32_t sh, uint32_t* dw, uint32_t* dh) {
    const uint32_t w = std::max(1u, sw / 2), h = std::max(1u, sh / 2);
    const uint32_t fx = sw > 1 ? 2 : 1, fy = sh > 1 ? 2 : 1;  // parents per axis
    const uint32_t n = fx * fy;
    // Every pixel's parents lie at or after its own position and after
    // everything written before it, so the level can shrink in place.
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t sum[4] = {0, 0, 0, 0};
            for (uint32_t j = 0; j < fy; ++j)
                for (uint32_t i = 0; i < fx; ++i)
                    for (int c = 0; c < 4; ++c)
                        sum[c] += pixels[((static_cast<size_t>(y) * fy + j) * sw + x * fx + i) * 4 + c];
            for (int c = 0; c < 4; ++c)
                pixels[(static_cast<size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
        }
    }
    *dw = w;
    *dh = h;
}

namespace {

// Copies a B,G,R,A level into a locked texture level.
HRESULT UploadLevel(IDirect3DTexture8* tex, UINT level, const uint8_t* pixels, uint32_t w, uint32_t h) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = tex->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    if (desc.Width != w || desc.Height != h) return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT lr{};
    hr = tex->LockRect(level, &lr, nullptr, 0);
    if (FAILED(hr)) return hr;
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch,
                    pixels + static_cast<size_t>(y) * w * 4, static_cast<size_t>(w) * 4);
    return tex->UnlockRect(level);
}

// Holds at most the texture and one buffer of its top level's size (two
// while a stretched image is resampled, before the texture exists).
HRESULT CreateTexture(IDirect3DDevice8* device, DecodedImage& img, IDirect3DTexture8** ppTexture) {
    const uint32_t w = CeilPow2(img.width), h = CeilPow2(img.height);
    std::vector<uint8_t> level;
    try {
        if (w == img.width && h == img.height)
            level = std::move(img.pixels);
        else
            level = ResizeTriangle(img.pixels.data(), img.width, img.height, w, h);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    std::vector<uint8_t>().swap(img.pixels);
    if (!img.hasAlpha)
        for (size_t i = 3; i < level.size(); i += 4) level[i] = 255;
    IDirect3DTexture8* tex = nullptr;
    HRESULT hr = device->CreateTexture(w, h, 0, 0, img.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
                                       D3DPOOL_MANAGED, &tex);
    if (FAILED(hr)) return hr;
    const UINT levels = tex->GetLevelCount();
    uint32_t lw = w, lh = h;
    for (UINT i = 0; i < levels && SUCCEEDED(hr); ++i) {
        if (i > 0) HalveBox(level.data(), lw, lh, &lw, &lh);
        hr = UploadLevel(tex, i, level.data(), lw, lh);
    }
    if (FAILED(hr)) {
        tex->Release();
        return hr;
    }
    *ppTexture = tex;
    return D3D_OK;
}

}  // namespace

}  // namespace vt::d3dx8

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, LPCSTR srcFile, IDirect3DTexture8** ppTexture) {
    if (ppTexture) *ppTexture = nullptr;
    if (!device || !srcFile || !ppTexture) return D3DERR_INVALIDCALL;
    std::vector<uint8_t> bytes;
    HRESULT hr = vt::d3dx8::ReadFile(srcFile, bytes);
    if (FAILED(hr)) return hr;
    vt::d3dx8::DecodedImage img;
    hr = vt::d3dx8::DecodeImage(bytes.data(), bytes.size(), img);
    if (FAILED(hr)) return hr;
    return vt::d3dx8::CreateTexture(device, img, ppTexture);
}
