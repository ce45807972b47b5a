// DOM key names to virtual keys (see dom_keys.h).
#include "platform/win32/dom_keys.h"

#include <cstring>

namespace vt::win32 {
namespace {

struct Named {
    const char* code;
    WPARAM vk;
    bool extended;
};

// Keys the desktop backend reports too, by their DOM code.
constexpr Named kKeys[] = {
    {"Enter", VK_RETURN, false},       {"Escape", VK_ESCAPE, false},     {"Space", VK_SPACE, false},
    {"Tab", VK_TAB, false},            {"Backspace", VK_BACK, false},    {"Pause", VK_PAUSE, false},
    {"CapsLock", VK_CAPITAL, false},   {"ShiftLeft", VK_SHIFT, false},   {"ShiftRight", VK_SHIFT, false},
    {"ControlLeft", VK_CONTROL, false}, {"AltLeft", VK_MENU, false},     {"Numpad0", VK_NUMPAD0, false},
    {"NumpadMultiply", VK_MULTIPLY, false}, {"NumpadAdd", VK_ADD, false}, {"NumpadSubtract", VK_SUBTRACT, false},
    {"NumpadDecimal", VK_DECIMAL, false},
    {"NumpadEnter", VK_RETURN, true},  {"NumpadDivide", VK_DIVIDE, true}, {"ControlRight", VK_CONTROL, true},
    {"AltRight", VK_MENU, true},       {"ArrowLeft", VK_LEFT, true},     {"ArrowUp", VK_UP, true},
    {"ArrowRight", VK_RIGHT, true},    {"ArrowDown", VK_DOWN, true},     {"PageUp", VK_PRIOR, true},
    {"PageDown", VK_NEXT, true},       {"Home", VK_HOME, true},          {"End", VK_END, true},
    {"Insert", VK_INSERT, true},       {"Delete", VK_DELETE, true},
};

bool StartsWith(const char* s, const char* prefix, size_t* rest) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(s, prefix, n) != 0) return false;
    *rest = n;
    return true;
}

// A number 1..max written in full after the prefix ("F12" -> 12), else 0.
int Number(const char* digits, int max) {
    int n = 0;
    if (!*digits || std::strlen(digits) > 2) return 0;
    for (const char* p = digits; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        n = n * 10 + (*p - '0');
    }
    return n >= 1 && n <= max ? n : 0;
}

}  // namespace

WPARAM VirtualKeyFromDom(const char* code, const char* key, bool* extended) {
    *extended = false;
    if (key && key[0] && !key[1]) {
        const char c = key[0];
        if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
        if (c >= 'A' && c <= 'Z') return c;
    }
    if (!code) return 0;
    size_t rest = 0;
    if (StartsWith(code, "Key", &rest) && code[rest] >= 'A' && code[rest] <= 'Z' && !code[rest + 1])
        return code[rest];
    if (StartsWith(code, "Digit", &rest) && code[rest] >= '0' && code[rest] <= '9' && !code[rest + 1])
        return code[rest];
    if (code[0] == 'F') {
        if (const int n = Number(code + 1, 12)) return VK_F1 + (n - 1);
    }
    if (StartsWith(code, "Numpad", &rest) && code[rest] >= '1' && code[rest] <= '9' && !code[rest + 1])
        return VK_NUMPAD0 + (code[rest] - '0');
    for (const Named& k : kKeys) {
        if (std::strcmp(code, k.code) == 0) {
            *extended = k.extended;
            return k.vk;
        }
    }
    return 0;
}

}  // namespace vt::win32
