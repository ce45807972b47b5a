#include "tests/support/recording_device.h"

#include "platform/d3d8/d3d8_defaults.h"

#include "tests/support/recording_internal.h"

namespace vt::test {

using namespace detail;

bool Call::Matches(const std::string& name, std::initializer_list<uint64_t> prefix) const {
    if (method != name || prefix.size() > args.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), args.begin());
}

RecordingDevice::RecordingDevice() : RecordingDevice(Options()) {}

RecordingDevice::RecordingDevice(const Options& options)
    : core_(std::make_shared<RecorderCore>()), state_(std::make_unique<State>()) {
    core_->device = this;
    State& s = *state_;
    s.options = options;
    d3d8::FillDefaultRenderStates(s.renderStates, options.depthBuffer ? TRUE : FALSE);
    for (DWORD i = 0; i < kStages; ++i)
        d3d8::FillDefaultStageStates(s.stageStates[i], i);
    s.viewport = {0, 0, options.width, options.height, 0.0f, 1.0f};
    for (int i = 0; i < 256; ++i) {
        s.gamma.red[i] = s.gamma.green[i] = s.gamma.blue[i] = static_cast<WORD>(i * 257);
    }
    D3DSURFACE_DESC bb{D3DFMT_A8R8G8B8, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                       options.width * options.height * 4, D3DMULTISAMPLE_NONE, options.width, options.height};
    s.backBuffer = new Surface(core_, false, bb, nullptr);
    Hold(s.renderTarget, s.backBuffer);
    if (options.depthBuffer) {
        D3DSURFACE_DESC ds = bb;
        ds.Format = D3DFMT_D16;
        ds.Usage = D3DUSAGE_DEPTHSTENCIL;
        ds.Size = options.width * options.height * 2;
        s.autoDepth = new Surface(core_, false, ds, nullptr);
        Hold(s.depth, s.autoDepth);
    }
}

RecordingDevice::~RecordingDevice() {
    State& s = *state_;
    for (auto& t : s.textures) Hold<IDirect3DBaseTexture8>(t, nullptr);
    Hold<IDirect3DVertexBuffer8>(s.stream, nullptr);
    Hold<IDirect3DIndexBuffer8>(s.indices, nullptr);
    Hold<IDirect3DSurface8>(s.renderTarget, nullptr);
    Hold<IDirect3DSurface8>(s.depth, nullptr);
    Hold<IDirect3DSurface8>(s.backBuffer, nullptr);
    Hold<IDirect3DSurface8>(s.autoDepth, nullptr);
    core_->device = nullptr;
}

// --- log queries -----------------------------------------------------------

const std::vector<Call>& RecordingDevice::Log() const { return core_->log; }
void RecordingDevice::ClearLog() { core_->log.clear(); }

std::vector<const Call*> RecordingDevice::Find(const std::string& method) const {
    std::vector<const Call*> out;
    for (const Call& c : core_->log)
        if (c.method == method) out.push_back(&c);
    return out;
}

size_t RecordingDevice::Count(const std::string& method) const { return Find(method).size(); }

size_t RecordingDevice::Count(const std::string& method, std::initializer_list<uint64_t> prefix) const {
    return static_cast<size_t>(std::count_if(core_->log.begin(), core_->log.end(),
                                             [&](const Call& c) { return c.Matches(method, prefix); }));
}

bool RecordingDevice::Called(const std::string& method, std::initializer_list<uint64_t> prefix) const {
    return Count(method, prefix) > 0;
}

const Call* RecordingDevice::Last(const std::string& method) const {
    for (auto it = core_->log.rbegin(); it != core_->log.rend(); ++it)
        if (it->method == method) return &*it;
    return nullptr;
}

std::vector<std::string> RecordingDevice::Sequence(std::initializer_list<const char*> only) const {
    std::vector<std::string> out;
    for (const Call& c : core_->log) {
        if (only.size() == 0 ||
            std::any_of(only.begin(), only.end(), [&](const char* m) { return c.method == m; }))
            out.push_back(c.method);
    }
    return out;
}

bool RecordingDevice::LastLoggedRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
    for (auto it = core_->log.rbegin(); it != core_->log.rend(); ++it) {
        if (it->method == "SetRenderState" && it->Arg(0) == static_cast<uint64_t>(state)) {
            if (value) *value = static_cast<DWORD>(it->Arg(1));
            return true;
        }
    }
    return false;
}

// --- failure injection -----------------------------------------------------

void RecordingDevice::FailNext(const std::string& method, HRESULT hr, int count, int skip) {
    RecorderCore::Failure f;
    f.hr = hr;
    f.count = count;
    f.skip = skip;
    core_->failures[method] = f;
}

void RecordingDevice::FailAlways(const std::string& method, HRESULT hr) {
    RecorderCore::Failure f;
    f.hr = hr;
    f.always = true;
    core_->failures[method] = f;
}

void RecordingDevice::ClearFailures() { core_->failures.clear(); }

// --- shadow state ----------------------------------------------------------

DWORD RecordingDevice::RenderState(D3DRENDERSTATETYPE state) const {
    return state >= 0 && state < D3DRS_MAX ? state_->renderStates[state] : 0;
}

float RecordingDevice::RenderStateFloat(D3DRENDERSTATETYPE state) const {
    Call c;
    c.args = {RenderState(state)};
    return c.ArgFloat(0);
}

DWORD RecordingDevice::StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const {
    return stage < kStages && type >= 0 && type < D3DTSS_MAX ? state_->stageStates[stage][type] : 0;
}

D3DMATRIX RecordingDevice::Transform(D3DTRANSFORMSTATETYPE state) const {
    auto it = state_->transforms.find(static_cast<DWORD>(state));
    return it == state_->transforms.end() ? IdentityMatrix() : it->second;
}

IDirect3DBaseTexture8* RecordingDevice::Texture(DWORD stage) const {
    return stage < kStages ? state_->textures[stage] : nullptr;
}

IDirect3DVertexBuffer8* RecordingDevice::StreamSource(UINT* stride) const {
    if (stride) *stride = state_->stride;
    return state_->stream;
}

IDirect3DIndexBuffer8* RecordingDevice::Indices(UINT* baseVertex) const {
    if (baseVertex) *baseVertex = state_->baseVertex;
    return state_->indices;
}

DWORD RecordingDevice::VertexShader() const { return state_->vertexShader; }
const D3DMATERIAL8& RecordingDevice::Material() const { return state_->material; }
bool RecordingDevice::HasLight(DWORD index) const { return state_->lights.count(index) > 0; }

D3DLIGHT8 RecordingDevice::Light(DWORD index) const {
    auto it = state_->lights.find(index);
    return it == state_->lights.end() ? D3DLIGHT8{} : it->second;
}

bool RecordingDevice::LightEnabled(DWORD index) const { return state_->enabledLights.count(index) > 0; }
D3DVIEWPORT8 RecordingDevice::Viewport() const { return state_->viewport; }
IDirect3DSurface8* RecordingDevice::CurrentRenderTarget() const { return state_->renderTarget; }
IDirect3DSurface8* RecordingDevice::CurrentDepthStencil() const { return state_->depth; }
bool RecordingDevice::InScene() const { return state_->inScene; }
bool RecordingDevice::CursorVisible() const { return state_->cursor; }
uint64_t RecordingDevice::Presents() const { return state_->presents; }
int RecordingDevice::LiveResources() const { return core_->live; }

ULONG RecordingDevice::RefCount(IUnknown* object) {
    if (!object) return 0;
    object->AddRef();
    return object->Release();
}

ULONG RecordingDevice::AddRef() { return ++refs_; }
ULONG RecordingDevice::Release() { return refs_ > 0 ? --refs_ : 0; }

}  // namespace vt::test
