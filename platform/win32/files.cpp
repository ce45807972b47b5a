// File probes (CreateFileA opens existing regular files for reading only)
// and the in-memory registry the host fills.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/win32/host.h"
#include "platform/win32/paths.h"

namespace vt::win32 {
namespace {

// --- files -----------------------------------------------------------------

struct FileHandle {
    explicit FileHandle(int f) : fd(f) {}
    ~FileHandle() { ::close(fd); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd;
};

std::map<HANDLE, std::unique_ptr<FileHandle>>& Files() {
    static std::map<HANDLE, std::unique_ptr<FileHandle>> files;
    return files;
}

// --- registry --------------------------------------------------------------

// "root\sub\key" in lower case, single backslashes, no leading or trailing
// ones: Windows compares key and value names without regard to case.
std::string Lower(const std::string& s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string JoinKey(const std::string& base, const char* sub) {
    std::string out = base;
    std::string part;
    auto flush = [&] {
        if (part.empty()) return;
        if (!out.empty()) out += '\\';
        out += Lower(part);
        part.clear();
    };
    for (const char* p = sub ? sub : ""; *p; ++p) {
        if (*p == '\\') flush();
        else part += *p;
    }
    flush();
    return out;
}

std::string RootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) return "hkcu";
    if (root == HKEY_LOCAL_MACHINE) return "hklm";
    return {};
}

struct Registry {
    std::map<std::string, std::map<std::string, std::string>> keys;  // path -> name -> value
    std::map<HKEY, std::unique_ptr<std::string>> open;               // handle -> path
};

Registry& Reg() {
    static Registry reg;
    return reg;
}

// The key path behind a predefined root or an open handle; empty if neither.
std::string PathOf(HKEY key) {
    std::string root = RootName(key);
    if (!root.empty()) return root;
    auto it = Reg().open.find(key);
    return it == Reg().open.end() ? std::string() : *it->second;
}

// A key exists when it, or a key below it, holds a value.
bool KeyExists(const std::string& path) {
    const auto& keys = Reg().keys;
    auto it = keys.lower_bound(path);
    if (it == keys.end()) return false;
    return it->first == path || it->first.compare(0, path.size() + 1, path + "\\") == 0;
}

}  // namespace

std::string HostPath(const char* windowsPath) {
    std::string out = windowsPath ? windowsPath : "";
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

void SetRegistryString(HKEY root, const std::string& subKey, const std::string& name,
                       const std::string& value) {
    std::string rootName = RootName(root);
    if (rootName.empty()) return;
    Reg().keys[JoinKey(rootName, subKey.c_str())][Lower(name)] = value;
}

void ClearRegistry() { Reg().keys.clear(); }

}  // namespace vt::win32

using namespace vt::win32;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD creation, DWORD,
                   HANDLE) {
    // Reading existing files is all the show does; anything else is refused.
    if (!name || !*name || creation != OPEN_EXISTING || (access & GENERIC_WRITE))
        return INVALID_HANDLE_VALUE;
    const int fd = ::open(HostPath(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    auto file = std::make_unique<FileHandle>(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return INVALID_HANDLE_VALUE;
    HANDLE h = file.get();
    Files().emplace(h, std::move(file));
    return h;
}

BOOL CloseHandle(HANDLE h) { return Files().erase(h) ? TRUE : FALSE; }

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string base = PathOf(key);
    if (base.empty()) return ERROR_INVALID_HANDLE;
    std::string path = JoinKey(base, subKey);
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    auto owned = std::make_unique<std::string>(std::move(path));
    HKEY h = reinterpret_cast<HKEY>(owned.get());
    Reg().open.emplace(h, std::move(owned));
    *result = h;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    const std::string path = PathOf(key);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    auto k = Reg().keys.find(path);
    if (k == Reg().keys.end()) return ERROR_FILE_NOT_FOUND;
    auto v = k->second.find(Lower(valueName ? valueName : ""));
    if (v == k->second.end()) return ERROR_FILE_NOT_FOUND;

    const DWORD needed = static_cast<DWORD>(v->second.size() + 1);  // with the NUL
    if (type) *type = REG_SZ;
    if (!data) {
        if (dataSize) *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;  // the buffer is left alone
    }
    std::memcpy(data, v->second.c_str(), needed);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (!RootName(key).empty()) return ERROR_SUCCESS;
    return Reg().open.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
