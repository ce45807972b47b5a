// The test program defines the LLVM entry point the driver calls to start a
// module, and exports it (see tests/CMakeLists.txt), so the driver's call
// binds here before it binds to LLVM; it is counted and passed on.
#include "tests/d3d8/driver_code.h"

#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kEntry = "LLVMModuleCreateWithNameInContext";
std::atomic<uint64_t> g_builds{0};

using CreateModule = void* (*)(const char*, void*);

int FindLlvm(dl_phdr_info* info, size_t, void* out) {
    if (!info->dlpi_name || !std::strstr(info->dlpi_name, "libLLVM")) return 0;
    *static_cast<std::string*>(out) = info->dlpi_name;
    return 1;
}

// The library's own function: next in the lookup order, or in the LLVM
// library the driver loaded privately.
CreateModule Real() {
    if (void* next = dlsym(RTLD_NEXT, kEntry)) return reinterpret_cast<CreateModule>(next);
    std::string path;
    dl_iterate_phdr(FindLlvm, &path);
    void* lib = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    void* fn = lib ? dlsym(lib, kEntry) : nullptr;
    if (!fn) {
        std::fprintf(stderr, "driver_code: %s not found in the loaded LLVM library\n", kEntry);
        std::abort();
    }
    return reinterpret_cast<CreateModule>(fn);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* LLVMModuleCreateWithNameInContext(const char* name,
                                                                                         void* context) {
    static const CreateModule real = Real();
    g_builds.fetch_add(1, std::memory_order_relaxed);
    return real(name, context);
}

namespace vt::d3d8::test {

uint64_t DriverCodeBuilds() { return g_builds.load(std::memory_order_relaxed); }

}  // namespace vt::d3d8::test
