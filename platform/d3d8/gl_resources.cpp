// Textures, cube textures, their surfaces, and vertex/index buffers of the
// OpenGL device, with the reference counting they share.
//
// Buffers keep a CPU copy: Lock hands it out, and the GL copy is refreshed
// the next time a draw uses the buffer. A texture level gets a CPU copy when
// locked and goes to GL at Unlock; a level locked once (an image loaded)
// then drops its copy, and one locked again keeps it. Render-target
// textures are stored at the device's internal resolution (gl_targets.cpp).
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/d3d8/gl_device.h"

namespace vt::d3d8 {

// ---------------------------------------------------------------------------
// Reference counts

RefBase::RefBase(GlDevice* device, ULONG initialPublic) : device_(device), public_(initialPublic) {
    if (public_ > 0 && device_) device_->AddRef();
}

ULONG RefBase::AddPublic() {
    if (public_++ == 0 && device_) device_->AddRef();
    return public_;
}

ULONG RefBase::ReleasePublic() {
    if (public_ == 0) return 0;
    ULONG left = --public_;
    if (left == 0) {
        GlDevice* device = device_;
        if (bind_ == 0) delete this;
        // May destroy the device, which drops its bindings of this object.
        if (device) device->Release();
    }
    return left;
}

void RefBase::Unbind() {
    if (bind_ > 0 && --bind_ == 0 && public_ == 0) delete this;
}

// ---------------------------------------------------------------------------
// Surfaces

namespace {

// A sentinel counter for standalone surfaces (back and depth buffers): the
// device owns those objects, so the counter never deletes anything.
class SurfaceCounter : public RefBase {
public:
    explicit SurfaceCounter(GlDevice* device) : RefBase(device, 0) {}
};

// The format and type of texels given with a null pointer (storage only).
GLenum UploadFormat(D3DFORMAT f) { return f == D3DFMT_R5G6B5 ? GL_RGB : GL_RGBA; }
GLenum UploadType(D3DFORMAT f) { return f == D3DFMT_R5G6B5 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE; }
GLenum InternalFormat(D3DFORMAT f) { return f == D3DFMT_R5G6B5 ? GL_RGB565 : GL_RGBA8; }

bool SupportedTextureFormat(D3DFORMAT f) {
    return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5;
}

constexpr GLenum kScratchUnit = GL_TEXTURE0 + 31;

D3DSURFACE_DESC LevelDesc(const TexStore& s, UINT level) {
    D3DSURFACE_DESC d{};
    d.Format = s.format;
    d.Type = D3DRTYPE_SURFACE;
    d.Usage = s.usage;
    d.Pool = s.pool;
    d.Width = s.LevelWidth(level);
    d.Height = s.LevelHeight(level);
    d.Size = d.Width * d.Height * s.BytesPerPixel();
    d.MultiSampleType = D3DMULTISAMPLE_NONE;
    return d;
}

GLenum FaceTarget(const TexStore& s, UINT face) {
    return s.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
}

bool HasTextureStorage() {
    if (GlEs()) return true;  // core in ES 3.0
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        if (e && std::strcmp(e, "GL_ARB_texture_storage") == 0) return true;
    }
    return false;
}

// Creates GL storage and the per-level surfaces of a texture.
void CreateStorage(GlDevice* device, TexStore& s, RefBase* owner) {
    glActiveTexture(kScratchUnit);
    glGenTextures(1, &s.name);
    glBindTexture(s.target, s.name);
    // The whole chain at once: level by level, a driver may hold each level
    // apart until the first draw and then copy them all into one block.
    if (HasTextureStorage()) {
        glTexStorage2D(s.target, GLsizei(s.levels), InternalFormat(s.format), GLsizei(s.glWidth), GLsizei(s.glHeight));
    } else {
        for (UINT face = 0; face < s.faces; ++face)
            for (UINT level = 0; level < s.levels; ++level)
                glTexImage2D(FaceTarget(s, face), level, InternalFormat(s.format), s.GlLevelWidth(level),
                             s.GlLevelHeight(level), 0, UploadFormat(s.format), UploadType(s.format), nullptr);
    }
    glTexParameteri(s.target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(s.target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(s.levels) - 1);
    // Sampling state comes from sampler objects; these only matter for FBO use.
    glTexParameteri(s.target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(s.target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // X8R8G8B8 has no alpha: it reads as 1. WebGL has no swizzle: ES gives
    // uploaded texels an alpha of 1, and keeps it 1 in such render targets.
    if (s.format == D3DFMT_X8R8G8B8 && !GlEs()) glTexParameteri(s.target, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glBindTexture(s.target, 0);

    size_t count = static_cast<size_t>(s.faces) * s.levels;
    s.device = device;
    s.shadow.resize(count);
    s.dirty.assign(count, false);
    s.locked.assign(count, false);
    s.inGl.assign(count, false);
    s.lockCount.assign(count, 0);
    for (UINT face = 0; face < s.faces; ++face) {
        for (UINT level = 0; level < s.levels; ++level) {
            auto surf = std::make_unique<GlSurface>(device, owner, GlSurface::Kind::TextureLevel, LevelDesc(s, level));
            surf->glWidth = s.GlLevelWidth(level);
            surf->glHeight = s.GlLevelHeight(level);
            surf->texture = s.name;
            surf->texTarget = FaceTarget(s, face);
            surf->level = static_cast<GLint>(level);
            surf->store = &s;
            s.surfaces.push_back(std::move(surf));
        }
    }
}

void DestroyStorage(GlDevice* device, TexStore& s) {
    s.surfaces.clear();
    if (s.name) {
        device->MakeCurrent();
        device->ForgetTexture(s.name);
        glDeleteTextures(1, &s.name);
        s.name = 0;
    }
}

HRESULT LockLevel(TexStore& s, UINT face, UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect, DWORD flags) {
    if (!pLocked || level >= s.levels || face >= s.faces) return D3DERR_INVALIDCALL;
    if (s.usage & D3DUSAGE_RENDERTARGET) return D3DERR_INVALIDCALL;
    size_t i = s.Index(face, level);
    if (s.locked[i]) return D3DERR_INVALIDCALL;
    UINT w = s.LevelWidth(level), h = s.LevelHeight(level), bpp = s.BytesPerPixel();
    LONG left = 0, top = 0;
    if (pRect) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->right > LONG(w) || pRect->bottom > LONG(h) ||
            pRect->left >= pRect->right || pRect->top >= pRect->bottom)
            return D3DERR_INVALIDCALL;
        left = pRect->left;
        top = pRect->top;
    }
    s.device->MakeCurrent();
    s.device->Flush();  // queued draws read the level as it was
    if (s.shadow[i].empty()) s.FillShadow(i, face, level);
    if (s.lockCount[i] < 2) ++s.lockCount[i];
    pLocked->Pitch = static_cast<INT>(w * bpp);
    pLocked->pBits = s.shadow[i].data() + size_t(top) * w * bpp + size_t(left) * bpp;
    s.locked[i] = true;
    if (!(flags & D3DLOCK_READONLY)) {
        s.dirty[i] = true;
        s.anyDirty = true;
    }
    return D3D_OK;
}

bool AlphaAllOpaque(const std::vector<uint8_t>& texels) {
    for (size_t i = 3; i < texels.size(); i += 4)
        if (texels[i] != 255) return false;
    return true;
}

HRESULT UnlockLevel(TexStore& s, UINT face, UINT level) {
    if (level >= s.levels || face >= s.faces) return D3DERR_INVALIDCALL;
    size_t i = s.Index(face, level);
    if (!s.locked[i]) return D3DERR_INVALIDCALL;
    s.locked[i] = false;
    s.device->MakeCurrent();
    if (s.dirty[i]) s.UploadLevel(face, level);
    // ES stores X8 texels with an alpha of 255: where other values were
    // written there, the copy keeps them for the next lock.
    const bool keep = s.lockCount[i] >= 2 || (GlEs() && s.format == D3DFMT_X8R8G8B8 && !AlphaAllOpaque(s.shadow[i]));
    if (!keep) std::vector<uint8_t>().swap(s.shadow[i]);
    return D3D_OK;
}

HRESULT GetDeviceOf(RefBase& r, IDirect3DDevice8** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    *ppDevice = r.Device();
    r.Device()->AddRef();
    return D3D_OK;
}

}  // namespace

void TexStore::Upload() {
    if (!anyDirty) return;
    bool stillLocked = false;
    for (UINT face = 0; face < faces; ++face) {
        for (UINT level = 0; level < levels; ++level) {
            size_t i = Index(face, level);
            // A locked level goes to GL when it is unlocked.
            if (locked[i]) stillLocked = stillLocked || dirty[i];
            else if (dirty[i]) UploadLevel(face, level);
        }
    }
    anyDirty = stillLocked;
}

void TexStore::UploadLevel(UINT face, UINT level) {
    const size_t i = Index(face, level);
    glActiveTexture(kScratchUnit);
    glBindTexture(target, name);
    GlUploadTexels(FaceTarget(*this, face), static_cast<GLint>(level), GLsizei(LevelWidth(level)),
                   GLsizei(LevelHeight(level)), format == D3DFMT_R5G6B5, format == D3DFMT_X8R8G8B8, shadow[i].data());
    glBindTexture(target, 0);
    dirty[i] = false;
    inGl[i] = true;
}

void TexStore::FillShadow(size_t i, UINT face, UINT level) {
    // Fresh D3D textures read as zero.
    shadow[i].assign(size_t(LevelWidth(level)) * LevelHeight(level) * BytesPerPixel(), 0);
    if (!inGl[i]) return;
    glActiveTexture(kScratchUnit);
    glBindTexture(target, name);
    GlReadTexLevel(FaceTarget(*this, face), name, static_cast<GLint>(level), GLsizei(LevelWidth(level)),
                   GLsizei(LevelHeight(level)), format == D3DFMT_R5G6B5, shadow[i].data());
    glBindTexture(target, 0);
}

GlSurface::GlSurface(GlDevice* device, RefBase* owner, Kind k, const D3DSURFACE_DESC& d)
    : kind(k), desc(d), owner_(owner) {
    if (!owner_) {
        own_ = std::make_unique<SurfaceCounter>(device);
        owner_ = own_.get();
    }
}

GlSurface::~GlSurface() {
    if (renderbuffer) glDeleteRenderbuffers(1, &renderbuffer);
    if (multisampled) glDeleteRenderbuffers(1, &multisampled);
    // Back-buffer colour lives in its own texture.
    if (kind == Kind::BackBuffer && texture) glDeleteTextures(1, &texture);
}

ULONG GlSurface::AddRef() { return owner_->AddPublic(); }
ULONG GlSurface::Release() { return owner_->ReleasePublic(); }
void GlSurface::BindRef() { owner_->Bind(); }
void GlSurface::UnbindRef() { owner_->Unbind(); }

HRESULT GlSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = desc;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Textures

GlTexture::GlTexture(GlDevice* device, TexStore store) : RefCounted(device, 1), store_(std::move(store)) {
    CreateStorage(device, store_, this);
}
GlTexture::~GlTexture() { DestroyStorage(Device(), store_); }
HRESULT GlTexture::GetDevice(IDirect3DDevice8** ppDevice) { return GetDeviceOf(*this, ppDevice); }

HRESULT GlTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) {
    if (!pDesc || level >= store_.levels) return D3DERR_INVALIDCALL;
    *pDesc = LevelDesc(store_, level);
    return D3D_OK;
}

HRESULT GlTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** ppSurface) {
    if (!ppSurface || level >= store_.levels) return D3DERR_INVALIDCALL;
    GlSurface* s = store_.surfaces[level].get();
    s->AddRef();
    *ppSurface = s;
    return D3D_OK;
}

HRESULT GlTexture::LockRect(UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect, DWORD flags) {
    return LockLevel(store_, 0, level, pLocked, pRect, flags);
}
HRESULT GlTexture::UnlockRect(UINT level) { return UnlockLevel(store_, 0, level); }

GlCubeTexture::GlCubeTexture(GlDevice* device, TexStore store) : RefCounted(device, 1), store_(std::move(store)) {
    CreateStorage(device, store_, this);
}
GlCubeTexture::~GlCubeTexture() { DestroyStorage(Device(), store_); }
HRESULT GlCubeTexture::GetDevice(IDirect3DDevice8** ppDevice) { return GetDeviceOf(*this, ppDevice); }

HRESULT GlCubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) {
    if (!pDesc || level >= store_.levels) return D3DERR_INVALIDCALL;
    *pDesc = LevelDesc(store_, level);
    return D3D_OK;
}

HRESULT GlCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface8** ppSurface) {
    if (!ppSurface || level >= store_.levels || UINT(face) >= 6) return D3DERR_INVALIDCALL;
    GlSurface* s = store_.surfaces[store_.Index(face, level)].get();
    s->AddRef();
    *ppSurface = s;
    return D3D_OK;
}

HRESULT GlCubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect,
                                DWORD flags) {
    return LockLevel(store_, UINT(face), level, pLocked, pRect, flags);
}
HRESULT GlCubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) { return UnlockLevel(store_, UINT(face), level); }

// ---------------------------------------------------------------------------
// Buffers

HRESULT BufStore::Lock(UINT offset, UINT size, BYTE** ppData) {
    if (!ppData) return D3DERR_INVALIDCALL;
    const size_t length = shadow.size();
    if (offset > length) return D3DERR_INVALIDCALL;
    if (size == 0) size = static_cast<UINT>(length - offset);  // 0 locks to the end
    if (size_t(offset) + size > length) return D3DERR_INVALIDCALL;
    if (locked) return D3DERR_INVALIDCALL;
    locked = true;
    dirty = true;
    *ppData = shadow.data() + offset;
    return D3D_OK;
}

HRESULT BufStore::Unlock() {
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    return D3D_OK;
}

void BufStore::Sync(GLenum target) {
    if (!name) glGenBuffers(1, &name);
    glBindBuffer(target, name);
    if (dirty) {
        // Fresh storage each time: a draw still queued on the old contents
        // keeps them, and nothing waits for it.
        glBufferData(target, static_cast<GLsizeiptr>(shadow.size()), nullptr, GL_STREAM_DRAW);
        glBufferSubData(target, 0, static_cast<GLsizeiptr>(shadow.size()), shadow.data());
        dirty = false;
    }
}

GlVertexBuffer::GlVertexBuffer(GlDevice* device, UINT length, DWORD usage, DWORD f, D3DPOOL pool)
    : RefCounted(device, 1), fvf(f) {
    buf.shadow.assign(length, 0);
    buf.usage = usage;
    buf.pool = pool;
}

GlVertexBuffer::~GlVertexBuffer() {
    if (buf.name) {
        Device()->MakeCurrent();
        Device()->ForgetBuffer(buf.name);
        glDeleteBuffers(1, &buf.name);
    }
}

HRESULT GlVertexBuffer::GetDevice(IDirect3DDevice8** ppDevice) { return GetDeviceOf(*this, ppDevice); }
HRESULT GlVertexBuffer::Lock(UINT offset, UINT size, BYTE** ppData, DWORD flags) {
    Device()->Flush();  // queued draws read the contents as they were
    HRESULT hr = buf.Lock(offset, size, ppData);
    if (SUCCEEDED(hr) && (flags & D3DLOCK_READONLY)) buf.dirty = buf.name == 0;
    return hr;
}
HRESULT GlVertexBuffer::Unlock() { return buf.Unlock(); }

HRESULT GlVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Format = D3DFMT_VERTEXDATA;
    pDesc->Type = D3DRTYPE_VERTEXBUFFER;
    pDesc->Usage = buf.usage;
    pDesc->Pool = buf.pool;
    pDesc->Size = static_cast<UINT>(buf.shadow.size());
    pDesc->FVF = fvf;
    return D3D_OK;
}

GlIndexBuffer::GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT f, D3DPOOL pool)
    : RefCounted(device, 1), format(f) {
    buf.shadow.assign(length, 0);
    buf.usage = usage;
    buf.pool = pool;
}

GlIndexBuffer::~GlIndexBuffer() {
    if (buf.name) {
        Device()->MakeCurrent();
        Device()->ForgetBuffer(buf.name);
        glDeleteBuffers(1, &buf.name);
    }
}

HRESULT GlIndexBuffer::GetDevice(IDirect3DDevice8** ppDevice) { return GetDeviceOf(*this, ppDevice); }
HRESULT GlIndexBuffer::Lock(UINT offset, UINT size, BYTE** ppData, DWORD flags) {
    Device()->Flush();  // queued draws read the indices as they were
    HRESULT hr = buf.Lock(offset, size, ppData);
    if (SUCCEEDED(hr) && (flags & D3DLOCK_READONLY)) buf.dirty = buf.name == 0;
    return hr;
}
HRESULT GlIndexBuffer::Unlock() { return buf.Unlock(); }

HRESULT GlIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Format = format;
    pDesc->Type = D3DRTYPE_INDEXBUFFER;
    pDesc->Usage = buf.usage;
    pDesc->Pool = buf.pool;
    pDesc->Size = static_cast<UINT>(buf.shadow.size());
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Device creation calls

namespace {

UINT FullChain(UINT w, UINT h) {
    UINT n = 1;
    for (UINT m = std::max(w, h); m > 1; m >>= 1) ++n;
    return n;
}

// Validates and fills the parts of a TexStore common to 2D and cube textures.
HRESULT MakeStore(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool, TexStore& s) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (w == 0 || h == 0 || GLint(w) > maxSize || GLint(h) > maxSize) return D3DERR_INVALIDCALL;
    if (!SupportedTextureFormat(format)) return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (pool == D3DPOOL_SCRATCH && (usage & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    UINT full = FullChain(w, h);
    s.width = s.glWidth = w;
    s.height = s.glHeight = h;
    s.levels = (levels == 0 || levels > full) ? full : levels;
    s.usage = usage;
    s.format = format;
    s.pool = pool;
    return D3D_OK;
}

}  // namespace

HRESULT GlDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                IDirect3DTexture8** ppTexture) {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    MakeCurrent();
    TexStore s;
    HRESULT hr = MakeStore(width, height, levels, usage, format, pool, s);
    if (FAILED(hr)) return hr;
    if (usage & D3DUSAGE_RENDERTARGET) {
        s.glWidth = ScaledSize(width, maxTextureSize_);
        s.glHeight = ScaledSize(height, maxTextureSize_);
    }
    s.target = GL_TEXTURE_2D;
    s.faces = 1;
    auto* t = new (std::nothrow) GlTexture(this, std::move(s));
    if (!t) return E_OUTOFMEMORY;
    *ppTexture = t;
    return D3D_OK;
}

HRESULT GlDevice::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DCubeTexture8** ppCubeTexture) {
    if (!ppCubeTexture) return D3DERR_INVALIDCALL;
    *ppCubeTexture = nullptr;
    MakeCurrent();
    TexStore s;
    HRESULT hr = MakeStore(edgeLength, edgeLength, levels, usage, format, pool, s);
    if (FAILED(hr)) return hr;
    if (usage & D3DUSAGE_RENDERTARGET) s.glWidth = s.glHeight = ScaledSize(edgeLength, maxTextureSize_);
    s.target = GL_TEXTURE_CUBE_MAP;
    s.faces = 6;
    auto* t = new (std::nothrow) GlCubeTexture(this, std::move(s));
    if (!t) return E_OUTOFMEMORY;
    *ppCubeTexture = t;
    return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer8** ppVertexBuffer) {
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (length == 0 || usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return D3DERR_INVALIDCALL;
    auto* b = new (std::nothrow) GlVertexBuffer(this, length, usage, fvf, pool);
    if (!b) return E_OUTOFMEMORY;
    *ppVertexBuffer = b;
    return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DIndexBuffer8** ppIndexBuffer) {
    if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) ||
        usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    auto* b = new (std::nothrow) GlIndexBuffer(this, length, usage, format, pool);
    if (!b) return E_OUTOFMEMORY;
    *ppIndexBuffer = b;
    return D3D_OK;
}

}  // namespace vt::d3d8
