// Media path search.
#include "util/media_path.h"

#include <cstdio>
#include <cstring>

// True when a file can be opened for reading at path.
static bool CanOpen(const char* path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

// Copies src into a MAX_PATH buffer; false (and nothing usable) if it does not fit.
static bool CopyPath(char* dst, const char* src)
{
    const size_t len = strlen(src);
    if (len >= MAX_PATH)
        return false;
    memcpy(dst, src, len + 1);
    return true;
}

HRESULT FindMediaFile(char* path, const char* name)
{
    if (path == NULL || name == NULL)
        return E_INVALIDARG;

    if (CopyPath(path, name) && CanOpen(path))
        return S_OK;

    // A composed path that does not fit the caller's buffer counts as not found.
    char candidate[2 * MAX_PATH];
    const int n = snprintf(candidate, sizeof(candidate), "%s%s", GetSdkMediaPath(), name);
    if (n > 0 && n < MAX_PATH && candidate[0] != '\0' && CanOpen(candidate)) {
        memcpy(path, candidate, (size_t)n + 1);
        return S_OK;
    }

    // Back to the name itself, cut to the buffer if it is longer.
    snprintf(path, MAX_PATH, "%s", name);
    return E_FAIL;
}

const char* GetSdkMediaPath()
{
    static char s_szPath[MAX_PATH];
    s_szPath[0] = '\0';

    HKEY hKey = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX", 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return "";
    DWORD dwType = 0;
    DWORD dwSize = sizeof(s_szPath);
    const LONG lResult = RegQueryValueExA(hKey, "DX8SDK Samples Path", NULL, &dwType, (BYTE*)s_szPath, &dwSize);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS) {
        s_szPath[0] = '\0';
        return "";
    }
    s_szPath[sizeof(s_szPath) - 1] = '\0';
    // A prefix that cannot hold "\Media\" is no usable prefix.
    const size_t len = strlen(s_szPath);
    static const char szMedia[] = "\\Media\\";
    if (len + sizeof(szMedia) > sizeof(s_szPath)) {
        s_szPath[0] = '\0';
        return "";
    }
    memcpy(s_szPath + len, szMedia, sizeof(szMedia));
    return s_szPath;
}
