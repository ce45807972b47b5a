// Internals of the recording device, shared by its two sources; tests
// include tests/support/recording_device.h instead.
#pragma once

#include <algorithm>
#include <set>

#include "tests/support/recording_device.h"

namespace vt::test {

struct RecorderCore {
    struct Failure {
        HRESULT hr = E_FAIL;
        int count = 0;
        int skip = 0;
        bool always = false;
    };
    std::vector<Call> log;
    std::map<std::string, Failure> failures;
    int live = 0;
    IDirect3DDevice8* device = nullptr;  // null once the device is gone

    // Consumes one injected failure for `method`, if armed.
    bool Take(const std::string& method, HRESULT* hr) {
        auto it = failures.find(method);
        if (it == failures.end()) return false;
        Failure& f = it->second;
        if (f.always) {
            *hr = f.hr;
            return true;
        }
        if (f.skip > 0) {
            --f.skip;
            return false;
        }
        *hr = f.hr;
        if (--f.count <= 0) failures.erase(it);
        return true;
    }
};


namespace detail {


inline constexpr DWORD kStages = 8;

inline UINT BytesPerPixel(D3DFORMAT f) {
    switch (f) {
        case D3DFMT_R5G6B5:
        case D3DFMT_D16:
        case D3DFMT_D16_LOCKABLE: return 2;
        case D3DFMT_R8G8B8: return 3;
        default: return 4;
    }
}

// floor(log2(max(w, h))) + 1
inline UINT FullChain(UINT w, UINT h) {
    UINT n = 1, s = std::max(w, h);
    while (s > 1) s >>= 1, ++n;
    return n;
}

inline D3DMATRIX IdentityMatrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

inline uint64_t Addr(const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }


// One call in progress: checks injection first, logs on Finish.
class Rec {
public:
    Rec(RecorderCore& core, std::string method, std::vector<uint64_t> args) : core_(core) {
        call_.method = std::move(method);
        call_.args = std::move(args);
        injected_ = core_.Take(call_.method, &injectedHr_);
    }
    Rec& With(const void* p, size_t size) {
        if (p && size) call_.data.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
        return *this;
    }
    bool Injected() const { return injected_; }
    HRESULT FinishInjected() { return Finish(injectedHr_); }
    HRESULT Finish(HRESULT hr) {
        call_.result = hr;
        core_.log.push_back(std::move(call_));
        return hr;
    }

private:
    RecorderCore& core_;
    Call call_;
    bool injected_ = false;
    HRESULT injectedHr_ = S_OK;
};

// Reference counting and the device link shared by every resource.
template <class Interface>
class Resource : public Interface {
public:
    Resource(std::shared_ptr<RecorderCore> core, const char* kind, bool counted)
        : core_(std::move(core)), kind_(kind), counted_(counted) {
        if (counted_) ++core_->live;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ~Resource() override {
        if (counted_) --core_->live;
    }
    Rec Begin(const char* method, std::vector<uint64_t> args) {
        args.insert(args.begin(), Addr(this));
        return Rec(*core_, std::string(kind_) + "." + method, std::move(args));
    }
    HRESULT DeviceOf(IDirect3DDevice8** pp) {
        if (!pp) return D3DERR_INVALIDCALL;
        *pp = core_->device;
        if (!*pp) return D3DERR_INVALIDCALL;
        (*pp)->AddRef();
        return D3D_OK;
    }
    std::shared_ptr<RecorderCore> core_;

private:
    const char* kind_;
    bool counted_;
    ULONG refs_ = 1;
};

struct Level {
    UINT width = 0, height = 0;
    std::vector<uint8_t> bytes;
    bool locked = false;
};

inline D3DSURFACE_DESC LevelDesc(const Level& l, D3DFORMAT format, DWORD usage, D3DPOOL pool) {
    D3DSURFACE_DESC d{};
    d.Format = format;
    d.Type = D3DRTYPE_SURFACE;
    d.Usage = usage;
    d.Pool = pool;
    d.Size = static_cast<UINT>(l.bytes.size());
    d.MultiSampleType = D3DMULTISAMPLE_NONE;
    d.Width = l.width;
    d.Height = l.height;
    return d;
}

inline std::vector<Level> MakeLevels(UINT w, UINT h, UINT count, D3DFORMAT format) {
    std::vector<Level> levels(count);
    for (Level& l : levels) {
        l.width = w;
        l.height = h;
        l.bytes.assign(static_cast<size_t>(w) * h * BytesPerPixel(format), 0);
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    return levels;
}

inline HRESULT LockLevel(Level& l, D3DFORMAT format, D3DLOCKED_RECT* out, const RECT* rect) {
    if (!out || l.locked) return D3DERR_INVALIDCALL;
    const UINT bpp = BytesPerPixel(format);
    LONG left = 0, top = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            static_cast<UINT>(rect->right) > l.width || static_cast<UINT>(rect->bottom) > l.height)
            return D3DERR_INVALIDCALL;
        left = rect->left;
        top = rect->top;
    }
    out->Pitch = static_cast<INT>(l.width * bpp);
    out->pBits = l.bytes.data() + static_cast<size_t>(top) * out->Pitch + static_cast<size_t>(left) * bpp;
    l.locked = true;
    return D3D_OK;
}

// A surface: a standalone one (back buffer, depth) or a level of a texture,
// which then keeps its container alive.
class Surface final : public Resource<IDirect3DSurface8> {
public:
    Surface(std::shared_ptr<RecorderCore> core, bool counted, D3DSURFACE_DESC desc, IUnknown* container)
        : Resource(std::move(core), "Surface", counted), desc_(desc), container_(container) {
        if (container_) container_->AddRef();
    }
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override {
        if (!pDesc) return D3DERR_INVALIDCALL;
        *pDesc = desc_;
        return D3D_OK;
    }
    const D3DSURFACE_DESC& Desc() const { return desc_; }

private:
    ~Surface() override {
        if (container_) container_->Release();
    }
    D3DSURFACE_DESC desc_;
    IUnknown* container_;
};

inline Surface* AsSurface(IDirect3DSurface8* s) { return static_cast<Surface*>(s); }

class Texture final : public Resource<IDirect3DTexture8> {
public:
    Texture(std::shared_ptr<RecorderCore> core, UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format,
            D3DPOOL pool)
        : Resource(std::move(core), "Texture", true),
          levels_(MakeLevels(w, h, levels, format)),
          usage_(usage),
          format_(format),
          pool_(pool) {}
    HRESULT GetDevice(IDirect3DDevice8** pp) override { return DeviceOf(pp); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override {
        if (level >= levels_.size() || !pDesc) return D3DERR_INVALIDCALL;
        *pDesc = LevelDesc(levels_[level], format_, usage_, pool_);
        return D3D_OK;
    }
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** pp) override {
        Rec r = Begin("GetSurfaceLevel", {level});
        if (r.Injected()) return r.FinishInjected();
        if (!pp || level >= levels_.size()) return r.Finish(D3DERR_INVALIDCALL);
        *pp = new Surface(core_, true, LevelDesc(levels_[level], format_, usage_, pool_), this);
        return r.Finish(D3D_OK);
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect, DWORD flags) override {
        Rec r = Begin("LockRect", {level, flags});
        if (pRect) r.With(pRect, sizeof *pRect);
        if (r.Injected()) return r.FinishInjected();
        // Default-pool textures are not lockable unless dynamic.
        if (level >= levels_.size() || (pool_ == D3DPOOL_DEFAULT && !(usage_ & D3DUSAGE_DYNAMIC)))
            return r.Finish(D3DERR_INVALIDCALL);
        return r.Finish(LockLevel(levels_[level], format_, pLocked, pRect));
    }
    HRESULT UnlockRect(UINT level) override {
        Rec r = Begin("UnlockRect", {level});
        if (r.Injected()) return r.FinishInjected();
        if (level >= levels_.size() || !levels_[level].locked) return r.Finish(D3DERR_INVALIDCALL);
        levels_[level].locked = false;
        return r.Finish(D3D_OK);
    }

private:
    std::vector<Level> levels_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
};

class CubeTexture final : public Resource<IDirect3DCubeTexture8> {
public:
    CubeTexture(std::shared_ptr<RecorderCore> core, UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool)
        : Resource(std::move(core), "CubeTexture", true), usage_(usage), format_(format), pool_(pool) {
        for (auto& face : faces_) face = MakeLevels(edge, edge, levels, format);
    }
    HRESULT GetDevice(IDirect3DDevice8** pp) override { return DeviceOf(pp); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(faces_[0].size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* pDesc) override {
        if (level >= faces_[0].size() || !pDesc) return D3DERR_INVALIDCALL;
        *pDesc = LevelDesc(faces_[0][level], format_, usage_, pool_);
        return D3D_OK;
    }
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface8** pp) override {
        Rec r = Begin("GetCubeMapSurface", {static_cast<uint64_t>(face), level});
        if (r.Injected()) return r.FinishInjected();
        if (!pp || face < 0 || face > 5 || level >= faces_[0].size()) return r.Finish(D3DERR_INVALIDCALL);
        *pp = new Surface(core_, true, LevelDesc(faces_[face][level], format_, usage_, pool_), this);
        return r.Finish(D3D_OK);
    }
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* pLocked, const RECT* pRect,
                     DWORD flags) override {
        Rec r = Begin("LockRect", {static_cast<uint64_t>(face), level, flags});
        if (pRect) r.With(pRect, sizeof *pRect);
        if (r.Injected()) return r.FinishInjected();
        if (face < 0 || face > 5 || level >= faces_[0].size() ||
            (pool_ == D3DPOOL_DEFAULT && !(usage_ & D3DUSAGE_DYNAMIC)))
            return r.Finish(D3DERR_INVALIDCALL);
        return r.Finish(LockLevel(faces_[face][level], format_, pLocked, pRect));
    }
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override {
        Rec r = Begin("UnlockRect", {static_cast<uint64_t>(face), level});
        if (r.Injected()) return r.FinishInjected();
        if (face < 0 || face > 5 || level >= faces_[0].size() || !faces_[face][level].locked)
            return r.Finish(D3DERR_INVALIDCALL);
        faces_[face][level].locked = false;
        return r.Finish(D3D_OK);
    }

private:
    std::vector<Level> faces_[6];
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
};

// Vertex and index buffers share their memory and lock rules.
template <class Interface, class Desc>
class Buffer final : public Resource<Interface> {
public:
    Buffer(std::shared_ptr<RecorderCore> core, const char* kind, Desc desc)
        : Resource<Interface>(std::move(core), kind, true), desc_(desc), bytes_(desc.Size, 0) {}
    HRESULT GetDevice(IDirect3DDevice8** pp) override { return this->DeviceOf(pp); }
    D3DRESOURCETYPE GetType() override { return desc_.Type; }
    HRESULT GetDesc(Desc* pDesc) override {
        if (!pDesc) return D3DERR_INVALIDCALL;
        *pDesc = desc_;
        return D3D_OK;
    }
    // Size 0 locks from offset to the end; nested locks are counted.
    HRESULT Lock(UINT offset, UINT size, BYTE** ppData, DWORD flags) override {
        Rec r = this->Begin("Lock", {offset, size, flags});
        if (r.Injected()) {
            if (ppData) *ppData = nullptr;
            return r.FinishInjected();
        }
        const uint64_t end = static_cast<uint64_t>(offset) + (size ? size : 0);
        if (!ppData || offset > bytes_.size() || end > bytes_.size()) {
            if (ppData) *ppData = nullptr;
            return r.Finish(D3DERR_INVALIDCALL);
        }
        *ppData = bytes_.data() + offset;
        ++locks_;
        return r.Finish(D3D_OK);
    }
    HRESULT Unlock() override {
        Rec r = this->Begin("Unlock", {});
        if (r.Injected()) return r.FinishInjected();
        if (locks_ == 0) return r.Finish(D3DERR_INVALIDCALL);
        --locks_;
        return r.Finish(D3D_OK);
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    const Desc& Description() const { return desc_; }
    bool Locked() const { return locks_ > 0; }

private:
    Desc desc_;
    std::vector<uint8_t> bytes_;
    int locks_ = 0;
};

using VertexBuffer = Buffer<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>;

// Replaces a held reference.
template <class T>
void Hold(T*& slot, T* value) {
    if (value) value->AddRef();
    if (slot) slot->Release();
    slot = value;
}

}  // namespace detail

struct RecordingDevice::State {
    Options options;
    DWORD renderStates[D3DRS_MAX] = {};
    DWORD stageStates[detail::kStages][D3DTSS_MAX] = {};
    std::map<DWORD, D3DMATRIX> transforms;
    IDirect3DBaseTexture8* textures[detail::kStages] = {};
    IDirect3DVertexBuffer8* stream = nullptr;
    UINT stride = 0;
    IDirect3DIndexBuffer8* indices = nullptr;
    UINT baseVertex = 0;
    DWORD vertexShader = 0;
    D3DMATERIAL8 material{};
    std::map<DWORD, D3DLIGHT8> lights;
    std::set<DWORD> enabledLights;
    D3DVIEWPORT8 viewport{};
    D3DGAMMARAMP gamma{};
    IDirect3DSurface8* backBuffer = nullptr;
    IDirect3DSurface8* autoDepth = nullptr;
    IDirect3DSurface8* renderTarget = nullptr;
    IDirect3DSurface8* depth = nullptr;
    bool inScene = false;
    bool cursor = true;
    uint64_t presents = 0;
};

}  // namespace vt::test
