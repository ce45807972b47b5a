// The browser's key names as the window layer's virtual keys: the keys that
// end the show and their modifiers' neighbours must arrive as they do from
// the desktop backend, letters by what they type, others by where they are.
#include <gtest/gtest.h>

#include "platform/win32/dom_keys.h"

namespace {

struct Key {
    WPARAM vk;
    bool extended;
};

Key Map(const char* code, const char* key) {
    Key k{0, true};
    k.vk = vt::win32::VirtualKeyFromDom(code, key, &k.extended);
    return k;
}

TEST(DomKeys, TheShowsKeysAreNotExtended) {
    for (auto [code, key, vk] : {std::tuple{"Escape", "Escape", VK_ESCAPE}, std::tuple{"F2", "F2", VK_F2},
                                 std::tuple{"Enter", "Enter", VK_RETURN}, std::tuple{"AltLeft", "Alt", VK_MENU}}) {
        const Key k = Map(code, key);
        EXPECT_EQ(k.vk, static_cast<WPARAM>(vk)) << code;
        EXPECT_FALSE(k.extended) << code;
    }
}

TEST(DomKeys, ExtendedKeysAreFlaggedAsOnWindows) {
    EXPECT_TRUE(Map("NumpadEnter", "Enter").extended);
    EXPECT_EQ(Map("NumpadEnter", "Enter").vk, static_cast<WPARAM>(VK_RETURN));
    EXPECT_TRUE(Map("AltRight", "AltGraph").extended);
    EXPECT_EQ(Map("AltRight", "AltGraph").vk, static_cast<WPARAM>(VK_MENU));
    EXPECT_TRUE(Map("ArrowLeft", "ArrowLeft").extended);
    EXPECT_TRUE(Map("Delete", "Delete").extended);
    EXPECT_FALSE(Map("NumpadDecimal", ".").extended);
    EXPECT_FALSE(Map("ShiftRight", "Shift").extended);
}

TEST(DomKeys, LettersFollowTheLayoutOtherKeysThePosition) {
    // AZERTY: the key where QWERTY has Q types 'a'.
    EXPECT_EQ(Map("KeyQ", "a").vk, WPARAM{'A'});
    EXPECT_EQ(Map("KeyQ", "A").vk, WPARAM{'A'});  // with Shift
    // A letter key typing no letter (a dead key, Cyrillic) falls back to its place.
    EXPECT_EQ(Map("KeyE", "Dead").vk, WPARAM{'E'});
    EXPECT_EQ(Map("KeyF", "\xd0\xb0").vk, WPARAM{'F'});
    // Shifted digits type symbols; the key is still the digit.
    EXPECT_EQ(Map("Digit1", "!").vk, WPARAM{'1'});
    EXPECT_EQ(Map("Numpad7", "7").vk, static_cast<WPARAM>(VK_NUMPAD0 + 7));
    EXPECT_EQ(Map("Numpad0", "0").vk, static_cast<WPARAM>(VK_NUMPAD0));
}

TEST(DomKeys, FunctionKeysOneToTwelveOnly) {
    EXPECT_EQ(Map("F1", "F1").vk, static_cast<WPARAM>(VK_F1));
    EXPECT_EQ(Map("F12", "F12").vk, static_cast<WPARAM>(VK_F1 + 11));
    EXPECT_EQ(Map("F13", "F13").vk, WPARAM{0});
    EXPECT_EQ(Map("F0", "F0").vk, WPARAM{0});
    EXPECT_EQ(Map("F", "F").vk, WPARAM{'F'});  // a lone letter is the letter
    EXPECT_EQ(Map("F2x", "").vk, WPARAM{0});
}

TEST(DomKeys, UnknownOrMissingNamesGiveNoKey) {
    for (const char* code : {"", "Key", "KeyAB", "Keya", "Digit", "Digit10", "MetaLeft", "ContextMenu", "Numpad"}) {
        const Key k = Map(code, "Unidentified");
        EXPECT_EQ(k.vk, WPARAM{0}) << code;
        EXPECT_FALSE(k.extended) << code;
    }
    EXPECT_EQ(Map(nullptr, nullptr).vk, WPARAM{0});
    EXPECT_EQ(Map(nullptr, "z").vk, WPARAM{'Z'});
}

}  // namespace
