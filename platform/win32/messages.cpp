// The thread's message queue: the backend's events become Win32 messages, posted
// messages join them in arrival order, and WM_QUIT is handed out, as on
// Windows, only once nothing else is waiting. Accelerator tables live here too.
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/win32/backend.h"
#include "platform/win32/host.h"
#include "platform/win32/internal.h"
#include "platform/win32/trace.h"

namespace vt::win32 {
namespace {

using detail::Modifiers;

struct Queued {
    MSG msg;
    Modifiers mods;  // modifiers held when the message was made
};

struct AccelTable {
    std::vector<ACCEL> entries;
};

struct QueueState {
    std::deque<Queued> queue;
    bool quitPending = false;
    int quitCode = 0;
    // What the program last took from the queue, for the "key state at the
    // time of the message" that accelerators compare against.
    bool haveLast = false;
    MSG last{};
    Modifiers lastMods = 0;
    std::map<WORD, std::unique_ptr<AccelTable>> accelerators;
};

QueueState& Q() {
    static QueueState state;
    return state;
}

constexpr uint32_t kContextAlt = 1u << 29;
constexpr uint32_t kPreviousDown = 1u << 30;
constexpr uint32_t kTransitionUp = 1u << 31;
constexpr uint32_t kExtended = 1u << 24;
constexpr WPARAM kScClose = 0xF060;

void Enqueue(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, Modifiers mods) {
    Queued q{};
    q.msg.hwnd = hWnd;
    q.msg.message = message;
    q.msg.wParam = wParam;
    q.msg.lParam = lParam;
    q.msg.time = timeGetTime();
    q.mods = mods;
    Q().queue.push_back(q);
}

// Alt+key (without Ctrl), F10 and Alt itself are "system" keys on Windows.
void TranslateKey(const backend::Event& e) {
    HWND target = e.windowId ? detail::WindowFromNativeId(e.windowId) : nullptr;
    if (!target) target = detail::NewestWindow();
    const WPARAM vk = e.virtualKey;
    if (!target || vk == 0) return;
    const Modifiers mods = e.modifiers;
    const bool ctrl = (mods & FCONTROL) != 0;
    const bool sys = !ctrl && ((mods & FALT) || vk == VK_MENU || vk == VK_F10);
    uint32_t lp = 1;
    if (e.extended) lp |= kExtended;
    if (sys && (mods & FALT)) lp |= kContextAlt;
    if (e.up || e.repeat) lp |= kPreviousDown;
    if (e.up) lp |= kTransitionUp;
    const UINT message = sys ? (e.up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (e.up ? WM_KEYUP : WM_KEYDOWN);
    Enqueue(target, message, vk, static_cast<LPARAM>(lp), mods);
}

bool CloseQueuedFor(HWND hWnd) {
    for (const Queued& q : Q().queue) {
        if (q.msg.hwnd == hWnd && q.msg.message == WM_CLOSE) return true;
    }
    return false;
}

void TranslateEvent(const backend::Event& e) {
    using Kind = backend::Event::Kind;
    if (e.kind == Kind::Key) {
        TranslateKey(e);
        return;
    }
    if (e.kind == Kind::QuitAll) {
        // The desktop asks the program to quit: ask every window to close.
        HWND windows[64];
        const int n = detail::LiveWindows(windows, 64);
        for (int i = 0; i < n; ++i) {
            if (!CloseQueuedFor(windows[i])) Enqueue(windows[i], WM_CLOSE, 0, 0, 0);
        }
        return;
    }
    HWND hWnd = detail::WindowFromNativeId(e.windowId);
    if (!hWnd) return;
    switch (e.kind) {
        case Kind::Close:
            if (!CloseQueuedFor(hWnd)) Enqueue(hWnd, WM_CLOSE, 0, 0, 0);
            break;
        case Kind::Resize:
            Enqueue(hWnd, WM_SIZE, 0, MAKELPARAM(e.x, e.y), 0);
            break;
        case Kind::MouseMove:
            Enqueue(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(e.x, e.y), 0);
            break;
        case Kind::LeftButton:
            Enqueue(hWnd, e.up ? WM_LBUTTONUP : WM_LBUTTONDOWN, 0, MAKELPARAM(e.x, e.y), 0);
            break;
        default:
            break;
    }
}

void Pump() {
    if (!detail::VideoReady()) return;
    backend::PollEvents(TranslateEvent);
}

bool Matches(const MSG& m, HWND hWnd, UINT lo, UINT hi) {
    if (hWnd == reinterpret_cast<HWND>(intptr_t(-1))) {
        if (m.hwnd != nullptr) return false;
    } else if (hWnd && m.hwnd != hWnd) {
        return false;
    }
    return (lo == 0 && hi == 0) || (m.message >= lo && m.message <= hi);
}

// Modifiers held for `msg`: those recorded with it when it is the message
// last taken from the queue, else what its lParam says (Alt only).
Modifiers ModsOf(const MSG& msg) {
    const QueueState& q = Q();
    if (q.haveLast && q.last.hwnd == msg.hwnd && q.last.message == msg.message &&
        q.last.wParam == msg.wParam && q.last.lParam == msg.lParam && q.last.time == msg.time)
        return q.lastMods;
    return (static_cast<uint32_t>(msg.lParam) & kContextAlt) ? FALT : 0;
}

AccelTable* FindTable(HACCEL accel) {
    for (auto& [id, table] : Q().accelerators) {
        if (reinterpret_cast<HACCEL>(table.get()) == accel) return table.get();
    }
    return nullptr;
}

}  // namespace

namespace detail {

void PurgeMessagesFor(HWND hWnd) {
    auto& queue = Q().queue;
    for (auto it = queue.begin(); it != queue.end();) {
        it = it->msg.hwnd == hWnd ? queue.erase(it) : it + 1;
    }
}

void ResetQueue() {
    QueueState& q = Q();
    q.queue.clear();
    q.quitPending = false;
    q.quitCode = 0;
    q.haveLast = false;
}

}  // namespace detail
}  // namespace vt::win32

using namespace vt::win32;

void RegisterAcceleratorResource(WORD id, const ACCEL* entries, int count) {
    if (count < 0 || (count > 0 && !entries)) return;
    auto& slot = Q().accelerators[id];
    if (!slot) slot = std::make_unique<AccelTable>();
    slot->entries.assign(entries, entries + count);
}

HACCEL LoadAcceleratorsA(HINSTANCE, LPCSTR tableName) {
    if (!tableName) return nullptr;
    long id = -1;
    if (IS_INTRESOURCE(tableName)) {
        id = static_cast<long>(reinterpret_cast<uintptr_t>(tableName));
    } else if (tableName[0] == '#') {
        char* end = nullptr;
        id = std::strtol(tableName + 1, &end, 10);
        if (*end != '\0' || id < 0 || id > 0xFFFF) return nullptr;
    }
    auto& tables = Q().accelerators;
    auto it = tables.find(static_cast<WORD>(id));
    if (id < 0 || it == tables.end()) return nullptr;
    return reinterpret_cast<HACCEL>(it->second.get());
}

BOOL PeekMessageA(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    // The program polls only from its message loop, entered once its media is loaded.
    TraceStep("message loop started (media loaded)");
    Pump();
    QueueState& q = Q();
    for (auto it = q.queue.begin(); it != q.queue.end(); ++it) {
        if (!Matches(it->msg, hWnd, filterMin, filterMax)) continue;
        *msg = it->msg;
        if (removeMsg & PM_REMOVE) {
            q.haveLast = true;
            q.last = it->msg;
            q.lastMods = it->mods;
            q.queue.erase(it);
        }
        return TRUE;
    }
    const bool quitWanted = (filterMin == 0 && filterMax == 0) ||
                            (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
    const bool threadFilter = !hWnd || hWnd == reinterpret_cast<HWND>(intptr_t(-1));
    if (q.quitPending && quitWanted && threadFilter) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(q.quitCode);
        msg->time = timeGetTime();
        if (removeMsg & PM_REMOVE) q.quitPending = false;
        return TRUE;
    }
    return FALSE;
}

int TranslateAcceleratorA(HWND hWnd, HACCEL accel, LPMSG msg) {
    AccelTable* table = FindTable(accel);
    if (!msg || !table || !detail::ProcOf(hWnd)) return 0;
    const bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    const bool charMsg = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (!keyDown && !charMsg) return 0;
    const Modifiers mods = ModsOf(*msg);
    for (const ACCEL& a : table->entries) {
        bool hit;
        if (a.fVirt & FVIRTKEY) {
            // Virtual-key entries match key presses with exactly their modifiers.
            hit = keyDown && a.key == msg->wParam && (a.fVirt & (FALT | FCONTROL | FSHIFT)) == mods;
        } else {
            // Character entries match the character; Alt still has to agree.
            hit = charMsg && a.key == msg->wParam &&
                  ((a.fVirt & FALT) != 0) == (msg->message == WM_SYSCHAR);
        }
        if (hit) {
            SendMessageA(hWnd, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
            return 1;
        }
    }
    return 0;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    const UINT m = msg->message;
    if (m == WM_KEYUP || m == WM_SYSKEYUP) return TRUE;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN) return FALSE;
    const Modifiers mods = ModsOf(*msg);
    const WPARAM vk = msg->wParam;
    WPARAM ch = 0;
    if (vk >= 'A' && vk <= 'Z') {
        ch = (mods & FCONTROL) ? vk - 'A' + 1 : (mods & FSHIFT) ? vk : vk - 'A' + 'a';
    } else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE) {
        ch = vk;
    } else if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB) {
        ch = vk;
    }
    if (ch != 0) {
        // Read before anything queued later, as Windows does.
        Queued q{};
        q.msg = *msg;
        q.msg.message = m == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        q.msg.wParam = ch;
        q.mods = mods;
        Q().queue.push_front(q);
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    WNDPROC proc = detail::ProcOf(msg->hwnd);
    return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

void PostQuitMessage(int exitCode) {
    Q().quitPending = true;
    Q().quitCode = exitCode;
}

BOOL PostMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd && !detail::ProcOf(hWnd)) return FALSE;
    // Synthetic keys carry no held keys but Alt, which their lParam tells.
    const bool key = msg >= WM_KEYDOWN && msg <= WM_SYSCHAR;
    const bool alt = key && (static_cast<uint32_t>(lParam) & kContextAlt);
    Enqueue(hWnd, msg, wParam, lParam, alt ? FALT : 0);
    return TRUE;
}

LRESULT SendMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = detail::ProcOf(hWnd);
    return proc ? proc(hWnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (static_cast<uint32_t>(lParam) & kContextAlt))
                SendMessageA(hWnd, WM_SYSCOMMAND, kScClose, 0);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == kScClose) SendMessageA(hWnd, WM_CLOSE, 0, 0);
            return 0;
        default:
            return 0;
    }
}
