// Process-wide bits of the Win32 layer: module handle, COM start-up,
// display detection, message boxes and the clock.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "platform/win32/backend.h"
#include "platform/win32/host.h"
#include "platform/win32/internal.h"

namespace vt::win32 {
namespace {

std::atomic<bool> g_headless{false};
std::atomic<bool> g_manualClock{false};
std::atomic<double> g_manualSeconds{0.0};
std::atomic<bool> g_counterAvailable{true};
int g_coDepth = 0;

std::mutex g_hookMutex;
MessageBoxHook g_hook;

constexpr LONGLONG kCounterHz = 1000000000;  // 1 GHz: counter ticks are nanoseconds

// Real clock: the backend's monotonic nanoseconds, counted from its first
// reading so that values stay small enough for the show's float start time.
LONGLONG RealNanoseconds() { return backend::MonotonicNanoseconds(); }

// Counter value in nanoseconds: round(seconds * 1e9) on the manual clock.
LONGLONG CounterNanoseconds() {
    if (g_manualClock) return std::llround(g_manualSeconds.load() * 1e9);
    return RealNanoseconds();
}

}  // namespace

void SetHeadless(bool headless) { g_headless = headless; }
bool IsHeadless() { return g_headless; }

bool HasDisplay() {
    if (!detail::EnsureVideo()) return false;
    return backend::HasVisibleDisplay();
}

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}

void SetManualClock(bool manual) { g_manualClock = manual; }
void SetClockSeconds(double seconds) { g_manualSeconds = seconds; }
void SetPerformanceCounterAvailable(bool available) { g_counterAvailable = available; }

double ClockSeconds() {
    if (g_manualClock) return g_manualSeconds;
    return static_cast<double>(RealNanoseconds()) / static_cast<double>(kCounterHz);
}

int CoInitializeDepth() { return g_coDepth; }

}  // namespace vt::win32

using namespace vt::win32;

HMODULE GetModuleHandleA(LPCSTR name) {
    // Only the program's own module exists; 0x400000 is the classic image base.
    static HINSTANCE__* const self = reinterpret_cast<HINSTANCE__*>(uintptr_t{0x400000});
    return name ? nullptr : self;
}

HRESULT CoInitialize(LPVOID) { return ++g_coDepth == 1 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (g_coDepth > 0) --g_coDepth;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (!text) text = "";
    {
        MessageBoxHook hook;
        {
            std::lock_guard<std::mutex> lock(g_hookMutex);
            hook = g_hook;
        }
        // The hook sees the caption as passed (null for the default one).
        if (hook && hook(text, caption, type)) return IDOK;
    }
    if (!caption) caption = "Error";  // what Windows shows for a null caption
    if (!IsHeadless() && HasDisplay()) {
        if (backend::ShowMessageBox(type, caption, text, detail::NativeOf(owner))) return IDOK;
    }
    // Nobody can click a box here: say it on stderr and carry on.
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    return IDOK;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = g_counterAvailable ? kCounterHz : 0;
    return g_counterAvailable ? TRUE : FALSE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = g_counterAvailable ? CounterNanoseconds() : 0;
    return g_counterAvailable ? TRUE : FALSE;
}

DWORD timeGetTime() {
    // Whole milliseconds of the same clock, wrapping at 2^32 like Windows'.
    LONGLONG ns = CounterNanoseconds();
    LONGLONG ms = ns >= 0 ? ns / 1000000 : -((-ns + 999999) / 1000000);
    return static_cast<DWORD>(static_cast<uint64_t>(ms));
}
