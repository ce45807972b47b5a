// PNG (libpng) and JPEG (libjpeg) decoding into B,G,R,A pixels.
//
// Both libraries report errors by longjmp. The functions that call setjmp
// hold only plain data (no object with a destructor lives across it); they
// decode straight into the caller's pixel vector, sized once the header has
// been read and the size allowed, so that no second copy of the image exists.

#include "platform/d3dx8/image_decode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <png.h>

#include <jerror.h>  // needs jpeglib.h first

namespace vt::d3dx8 {

namespace {

enum RawStatus { kRawOk = 0, kRawInvalid = 1, kRawNoMemory = 2 };

// What a decoder hands back; `pixels` belongs to the caller.
struct RawImage {
    std::vector<uint8_t>* pixels;
    uint32_t width;
    uint32_t height;
    int hasAlpha;
    int status;
};

bool SizeAllowed(uint64_t w, uint64_t h) {
    return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide && w * h <= kMaxImagePixels;
}

// Sizes the caller's buffer for w x h pixels; null when memory is short.
uint8_t* PixelBuffer(std::vector<uint8_t>* pixels, uint32_t w, uint32_t h) noexcept {
    try {
        pixels->resize(static_cast<size_t>(w) * h * 4);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return pixels->data();
}

HRESULT Finish(const RawImage& raw, DecodedImage& out) {
    const size_t bytes = static_cast<size_t>(raw.width) * raw.height * 4;
    if (raw.status != kRawOk || bytes == 0 || out.pixels.size() != bytes) {
        std::vector<uint8_t>().swap(out.pixels);
        return raw.status == kRawNoMemory ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA;
    }
    out.width = raw.width;
    out.height = raw.height;
    out.hasAlpha = raw.hasAlpha != 0;
    return D3D_OK;
}

// --- PNG --------------------------------------------------------------------

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

extern "C" void PngRead(png_structp png, png_bytep dst, png_size_t n) {
    PngSource* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (n > src->size - src->pos) png_error(png, "truncated");
    std::memcpy(dst, src->data + src->pos, n);
    src->pos += n;
}

extern "C" void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// A complaint while the image data is read (a bad zlib checksum, data left
// over or missing) means the pixels cannot be trusted: the file is refused.
// Complaints about colour or text chunks (an odd profile, a bad rendering
// intent) only drop that chunk, and a good image still loads.
constexpr png_uint_32 kPngIdat = 0x49444154;  // "IDAT"

extern "C" void PngWarning(png_structp png, png_const_charp message) {
    if (png_get_io_chunk_type(png) == kPngIdat) png_error(png, message);
}

void DecodePngRaw(const uint8_t* data, size_t size, RawImage* out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) {
        out->status = kRawNoMemory;
        return;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        out->status = kRawNoMemory;
        return;
    }
    PngSource src = {data, size, 0};
    png_bytep* rows = nullptr;
    // `rows` changes after setjmp, so it lives in memory the jump preserves.
    png_bytep** volatile rowsSlot = &rows;
    if (setjmp(png_jmpbuf(png))) {
        std::free(*rowsSlot);
        png_destroy_read_struct(&png, &info, nullptr);
        if (out->status == kRawOk) out->status = kRawInvalid;
        return;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, 64u << 20);
    png_set_read_fn(png, &src, PngRead);
    // Every chunk's checksum counts: libpng would only warn about a bad one on
    // an ancillary chunk and drop it, but a damaged byte is a damaged file.
    png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_ERROR_QUIT);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    if (!SizeAllowed(w, h)) png_error(png, "size");
    const bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);

    png_set_expand(png);  // palette -> RGB, low-depth grey -> 8 bits, tRNS -> alpha
    png_set_scale_16(png);
    if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    if (!alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * 4) png_error(png, "layout");

    uint8_t* pixels = PixelBuffer(out->pixels, w, h);
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (!pixels || !rows) {
        out->status = kRawNoMemory;
        png_error(png, "memory");
    }
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels + static_cast<size_t>(y) * w * 4;
    png_read_image(png, rows);
    png_read_end(png, nullptr);  // a file cut before its end marker is broken

    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    out->width = w;
    out->height = h;
    out->hasAlpha = alpha ? 1 : 0;
    out->status = kRawOk;
}

// --- JPEG -------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr mgr;  // first: libjpeg sees a jpeg_error_mgr*
    jmp_buf jump;
    int warnings;
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
    JpegError* err = reinterpret_cast<JpegError*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

// Warnings mean corrupt or truncated data (libjpeg pads a cut file with
// grey and carries on); they are counted and the image refused. A few only
// question the file's labels (a newer JFIF revision, an unknown Adobe
// transform code, a broken colour profile we never read): the pixels decode
// the same, so those do not count.
extern "C" void JpegMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC) return;
    reinterpret_cast<JpegError*>(cinfo->err)->warnings++;
}

extern "C" void JpegOutput(j_common_ptr) {}

// A progressive file can hold any number of scans; thousands of tiny ones
// would take minutes to decode, so such files are refused.
constexpr int kMaxJpegScans = 500;

extern "C" void JpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void DecodeJpegRaw(const uint8_t* data, size_t size, RawImage* out) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    jpeg_progress_mgr progress;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&progress, 0, sizeof progress);
    progress.progress_monitor = JpegProgress;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegMessage;
    err.mgr.output_message = JpegOutput;
    err.warnings = 0;
    uint8_t* row = nullptr;
    uint8_t** volatile rowSlot = &row;
    if (setjmp(err.jump)) {
        std::free(*rowSlot);
        jpeg_destroy_decompress(&cinfo);
        if (out->status == kRawOk) out->status = kRawInvalid;
        return;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;
    cinfo.mem->max_memory_to_use = 512l << 20;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (!SizeAllowed(cinfo.image_width, cinfo.image_height)) {
        out->status = kRawInvalid;
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const bool adobe = cinfo.saw_Adobe_marker != 0;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    const uint32_t w = cinfo.output_width, h = cinfo.output_height;
    if (!SizeAllowed(w, h) || cinfo.output_components != 4) {
        out->status = kRawInvalid;
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    uint8_t* pixels = PixelBuffer(out->pixels, w, h);
    // CMYK rows go through a row of their own; B,G,R,A lands in place.
    if (cmyk) row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(w) * 4));
    if (!pixels || (cmyk && !row)) {
        out->status = kRawNoMemory;
        std::longjmp(err.jump, 1);
    }
    while (cinfo.output_scanline < h) {
        const uint32_t y = cinfo.output_scanline;
        uint8_t* dst = pixels + static_cast<size_t>(y) * w * 4;
        JSAMPROW line = cmyk ? row : dst;
        if (jpeg_read_scanlines(&cinfo, &line, 1) != 1) std::longjmp(err.jump, 1);
        if (!cmyk) continue;
        for (uint32_t x = 0; x < w; ++x) {
            // Adobe files store CMYK inverted: R = C * K / 255; others R = (255-C)(255-K)/255.
            uint32_t c = row[x * 4], m = row[x * 4 + 1], yl = row[x * 4 + 2], k = row[x * 4 + 3];
            if (!adobe) c = 255 - c, m = 255 - m, yl = 255 - yl, k = 255 - k;
            dst[x * 4 + 0] = static_cast<uint8_t>((yl * k + 127) / 255);
            dst[x * 4 + 1] = static_cast<uint8_t>((m * k + 127) / 255);
            dst[x * 4 + 2] = static_cast<uint8_t>((c * k + 127) / 255);
            dst[x * 4 + 3] = 255;
        }
    }
    jpeg_finish_decompress(&cinfo);
    std::free(row);
    const int warnings = err.warnings;
    jpeg_destroy_decompress(&cinfo);
    if (warnings) {
        out->status = kRawInvalid;
        return;
    }
    // JCS_EXT_BGRA fills the fourth byte with 0xFF already.
    out->width = w;
    out->height = h;
    out->hasAlpha = 0;
    out->status = kRawOk;
}

}  // namespace

HRESULT DecodePng(const uint8_t* data, size_t size, DecodedImage& out) {
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return D3DXERR_INVALIDDATA;
    RawImage raw = {&out.pixels, 0, 0, 0, kRawOk};
    DecodePngRaw(data, size, &raw);
    return Finish(raw, out);
}

HRESULT DecodeJpeg(const uint8_t* data, size_t size, DecodedImage& out) {
    if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) return D3DXERR_INVALIDDATA;
    RawImage raw = {&out.pixels, 0, 0, 0, kRawOk};
    DecodeJpegRaw(data, size, &raw);
    return Finish(raw, out);
}

HRESULT DecodeImage(const uint8_t* data, size_t size, DecodedImage& out) {
    if (data && size >= 8 && png_sig_cmp(data, 0, 8) == 0) return DecodePng(data, size, out);
    if (data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return DecodeJpeg(data, size, out);
    return D3DXERR_INVALIDDATA;
}

}  // namespace vt::d3dx8
