// Message boxes, the clock, file probes and the registry.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/host.h"
#include "platform/win32/paths.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct Box {
    std::string text, caption;
    UINT type;
};

TEST(MessageBox, HookSeesEveryBoxAndCanSuppressIt) {
    std::vector<Box> boxes;
    vt::win32::SetMessageBoxHook([&](const char* text, const char* caption, UINT type) {
        boxes.push_back({text, caption ? caption : "(none)", type});
        return true;
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Could not load required media.", nullptr, MB_ICONWARNING), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "Title", MB_OK), IDOK);
    const std::string err = testing::internal::GetCapturedStderr();
    vt::win32::SetMessageBoxHook(nullptr);

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Could not load required media.");
    EXPECT_EQ(boxes[0].caption, "(none)") << "the hook sees the caption as passed";
    EXPECT_EQ(boxes[0].type, UINT(MB_ICONWARNING));
    EXPECT_EQ(boxes[1].text, "");
    EXPECT_EQ(err, "") << "a suppressed box shows nowhere";
}

TEST(MessageBox, HeadlessBoxGoesToStderrWithoutBlocking) {
    vt::win32::SetHeadless(true);
    bool hookSaw = false;
    vt::win32::SetMessageBoxHook([&](const char*, const char*, UINT) {
        hookSaw = true;
        return false;  // look, but let the box through
    });
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    const int result = MessageBoxA(nullptr, "Error: D3DERR_NOTAVAILABLE", nullptr, MB_ICONWARNING);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string err = testing::internal::GetCapturedStderr();
    vt::win32::SetMessageBoxHook(nullptr);

    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(hookSaw);
    EXPECT_EQ(err, "Error: Error: D3DERR_NOTAVAILABLE\n");
    EXPECT_LT(elapsed, std::chrono::seconds(1));
}

class ClockTest : public ::testing::Test {
protected:
    void TearDown() override {
        vt::win32::SetManualClock(false);
        vt::win32::SetPerformanceCounterAvailable(true);
    }
};

TEST_F(ClockTest, ManualClockDrivesCounterAndMilliseconds) {
    vt::win32::SetManualClock(true);
    struct Case {
        double seconds;
        LONGLONG counter;
        DWORD ms;
    };
    const Case cases[] = {
        {0.0, 0, 0},
        {1.0 / 60.0, 16666667, 16},
        {95.0004, 95000400000, 95000},
        {296.9999999996, 297000000000, 297000},  // rounded to the nearest ns
    };
    LARGE_INTEGER freq{};
    ASSERT_TRUE(QueryPerformanceFrequency(&freq));
    EXPECT_EQ(freq.QuadPart, 1000000000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        vt::win32::SetClockSeconds(c.seconds);
        LARGE_INTEGER count{};
        ASSERT_TRUE(QueryPerformanceCounter(&count));
        EXPECT_EQ(count.QuadPart, c.counter);
        EXPECT_EQ(timeGetTime(), c.ms);
        EXPECT_DOUBLE_EQ(vt::win32::ClockSeconds(), c.seconds);
    }
}

TEST_F(ClockTest, MissingCounterReportsFailureWithZeroFrequency) {
    vt::win32::SetManualClock(true);
    vt::win32::SetClockSeconds(12.3456);
    vt::win32::SetPerformanceCounterAvailable(false);
    LARGE_INTEGER freq{};
    freq.QuadPart = 99;
    EXPECT_FALSE(QueryPerformanceFrequency(&freq));
    EXPECT_EQ(freq.QuadPart, 0);
    EXPECT_EQ(timeGetTime(), 12345u) << "the millisecond fallback still runs";
}

TEST_F(ClockTest, RealClockAdvances) {
    LARGE_INTEGER a{}, b{};
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    const DWORD msA = timeGetTime();
    const double secA = vt::win32::ClockSeconds();
    usleep(20000);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_GE(b.QuadPart - a.QuadPart, 20000000);
    EXPECT_GE(timeGetTime() - msA, 19u);
    EXPECT_GE(vt::win32::ClockSeconds() - secA, 0.019);
}

class FileProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("data/meshes/star.x", std::string("xof 0303txt 0032\n"));
        dir.Enter();
    }
    static HANDLE Probe(const char* name) {
        return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    vt::test::TempDir dir{"win32_files"};
};

TEST_F(FileProbeTest, OpensExistingFilesByWindowsPath) {
    HANDLE h = Probe("data\\meshes\\star.x");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h)) << "a handle closes once";

    const char* refused[] = {"data\\meshes\\missing.x", "data\\meshes", "data\\meshes\\", "", nullptr};
    for (const char* name : refused) {
        SCOPED_TRACE(name ? name : "(null)");
        EXPECT_EQ(Probe(name), INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(CreateFileA("data\\meshes\\star.x", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE)
        << "nothing here writes files";
    EXPECT_EQ(vt::win32::HostPath("data\\bitmaps\\scene07\\hello.jpg"), "data/bitmaps/scene07/hello.jpg");
    EXPECT_EQ(vt::win32::HostPath(nullptr), "");
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        vt::win32::SetRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX",
                                     "DX8SDK Samples Path", "C:\\DXSDK\\Samples");
    }
    void TearDown() override { vt::win32::ClearRegistry(); }
};

TEST_F(RegistryTest, ReadsStringsLikeWindows) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\microsoft\\DirectX", 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << "key names ignore case";
    char buffer[MAX_PATH];
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "dx8sdk samples path", nullptr, &type,
                               reinterpret_cast<LPBYTE>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_STREQ(buffer, "C:\\DXSDK\\Samples");
    EXPECT_EQ(size, std::strlen("C:\\DXSDK\\Samples") + 1) << "the size counts the NUL";

    DWORD needed = 0;
    EXPECT_EQ(RegQueryValueExA(key, "DX8SDK Samples Path", nullptr, nullptr, nullptr, &needed),
              ERROR_SUCCESS);
    EXPECT_EQ(needed, size);

    EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, SmallBufferIsNotOverrun) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char buffer[32];
    std::memset(buffer, '#', sizeof(buffer));
    DWORD size = 8;
    EXPECT_EQ(RegQueryValueExA(key, "DX8SDK Samples Path", nullptr, nullptr,
                               reinterpret_cast<LPBYTE>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, std::strlen("C:\\DXSDK\\Samples") + 1);
    for (char c : buffer) EXPECT_EQ(c, '#');
    RegCloseKey(key);
}

TEST_F(RegistryTest, MissingKeysAndBadHandles) {
    HKEY key = reinterpret_cast<HKEY>(uintptr_t{1});
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectXSDK", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\DirectX", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND)
        << "roots are separate";
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &parent), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(parent, "Microsoft\\DirectX", 0, KEY_READ, &key), ERROR_SUCCESS)
        << "subkeys open relative to an open key";
    RegCloseKey(key);
    RegCloseKey(parent);

    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(uintptr_t{12345}), "x", nullptr, nullptr, nullptr,
                               &size),
              ERROR_INVALID_HANDLE);
    vt::win32::ClearRegistry();
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

TEST(Com, InitialiseCountsNesting) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(vt::win32::CoInitializeDepth(), 2);
    CoUninitialize();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(vt::win32::CoInitializeDepth(), 0);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

}  // namespace
