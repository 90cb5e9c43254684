// The package's four component files, as Setup and the platform's installers meet them: each
// loads, registers through its own entry point and through "regsvr32 /s", writes nothing to
// the registry, serves no class (in particular none of the real component's), and carries the
// version 0.0.0.1 so that a real component's installer replaces it.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace {

struct Component {
    const wchar_t* file;
    CLSID realClass;  // the class id of the real control or object of that name
};

// {48E59293-9880-11CF-9754-00AA00C00908} Inet, {3B7C8860-D78F-101B-B9B5-04021C009402} RichTextBox,
// {F9043C85-F6F2-101A-A3C9-08002B2F49FB} CommonDialog, {0D43FE01-F093-11CF-8940-00A0C9054228} FileSystemObject.
const Component kComponents[] = {
    {L"MSINET.ocx", {0x48E59293, 0x9880, 0x11CF, {0x97, 0x54, 0x00, 0xAA, 0x00, 0xC0, 0x09, 0x08}}},
    {L"RICHTX32.ocx", {0x3B7C8860, 0xD78F, 0x101B, {0xB9, 0xB5, 0x04, 0x02, 0x1C, 0x00, 0x94, 0x02}}},
    {L"COMDLG32.OCX", {0xF9043C85, 0xF6F2, 0x101A, {0xA3, 0xC9, 0x08, 0x00, 0x2B, 0x2F, 0x49, 0xFB}}},
    {L"scrrun.dll", {0x0D43FE01, 0xF093, 0x11CF, {0x89, 0x40, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x28}}},
};

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring PathOf(const Component& c) { return OwnFolder() + L"\\" + c.file; }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct Module {
    explicit Module(const std::wstring& path) : handle(::LoadLibraryExW(path.c_str(), nullptr, 0)) {}
    ~Module() {
        if (handle) ::FreeLibrary(handle);
    }
    template <typename F>
    F Entry(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
    }
    HMODULE handle;
};

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// The fixed file information and one string of the file's version resource, read the way
// installers read them.
struct VersionInfo {
    bool ok = false;
    VS_FIXEDFILEINFO fixed{};
    std::wstring originalName;
};

VersionInfo ReadVersion(const std::wstring& path) {
    VersionInfo v;
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return v;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return v;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return v;
    v.fixed = *fixed;
    wchar_t* text = nullptr;
    if (::VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
                         reinterpret_cast<void**>(&text), &length) && text)
        v.originalName = text;
    v.ok = true;
    return v;
}

// Runs a command line with no window and returns its exit code (or -1 when it did not start).
long RunCommand(std::wstring commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    ::WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 0;
    if (!::GetExitCodeProcess(pi.hProcess, &code)) code = static_cast<DWORD>(-1);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return static_cast<long>(code);
}

// Counts what lies under a key: subkeys and values.
DWORD EntriesUnder(HKEY key) {
    DWORD subkeys = 0, values = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return static_cast<DWORD>(-1);
    return subkeys + values;
}

// While it lives, the registry roots a registration writes to (classes, machine, user) are
// each redirected to an empty scratch key of their own, so what the registration writes can
// be seen and never reaches the real registry.
class RedirectedRegistry {
public:
    RedirectedRegistry() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        for (int i = 0; i < 3; ++i) {
            const std::wstring name = std::wstring(kScratch) + L"\\" + std::to_wstring(i);
            if (::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &scratch_[i], nullptr) != ERROR_SUCCESS)
                return;
        }
        ok_ = ::RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch_[0]) == ERROR_SUCCESS &&
              ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch_[1]) == ERROR_SUCCESS &&
              ::RegOverridePredefKey(HKEY_CURRENT_USER, scratch_[2]) == ERROR_SUCCESS;
    }
    ~RedirectedRegistry() {
        Restore();
        for (HKEY k : scratch_)
            if (k) ::RegCloseKey(k);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }
    void Restore() {
        ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }
    bool ok() const { return ok_; }
    HKEY scratch(int i) const { return scratch_[i]; }

    static constexpr const wchar_t* kScratch = L"Software\\Oranvel Software\\Korvane component test";

private:
    HKEY scratch_[3] = {};
    bool ok_ = false;
};

TEST(Components, EachFileIsThereUnderItsExactName) {
    for (const Component& c : kComponents) {
        WIN32_FIND_DATAW found{};
        HANDLE h = ::FindFirstFileW(PathOf(c).c_str(), &found);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << "missing " << Narrow(PathOf(c));
        ::FindClose(h);
        EXPECT_STREQ(found.cFileName, c.file);
    }
}

TEST(Components, VersionIsTheLowestSoRealInstallersReplaceIt) {
    for (const Component& c : kComponents) {
        SCOPED_TRACE(Narrow(PathOf(c)));
        const VersionInfo v = ReadVersion(PathOf(c));
        ASSERT_TRUE(v.ok);
        EXPECT_EQ(v.fixed.dwFileVersionMS, 0u);
        EXPECT_EQ(v.fixed.dwFileVersionLS, 1u);  // 0.0.0.1
        EXPECT_EQ(v.fixed.dwProductVersionMS, 0u);
        EXPECT_EQ(v.fixed.dwProductVersionLS, 1u);
        EXPECT_EQ(v.fixed.dwFileType, static_cast<DWORD>(VFT_DLL));
        EXPECT_EQ(v.originalName, c.file);
    }
}

TEST(Components, LoadsOurFileAndServesNoClassOfTheRealComponent) {
    for (const Component& c : kComponents) {
        SCOPED_TRACE(Narrow(PathOf(c)));
        Module m(PathOf(c));
        ASSERT_NE(m.handle, nullptr) << ::GetLastError();
        // The loader gave us this file, not a component of the same name from the system.
        wchar_t loaded[MAX_PATH] = {};
        ::GetModuleFileNameW(m.handle, loaded, MAX_PATH);
        EXPECT_EQ(::lstrcmpiW(loaded, PathOf(c).c_str()), 0);
        EXPECT_NE(::FindResourceW(m.handle, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16)), nullptr);

        auto getClassObject = m.Entry<GetClassObjectEntry>("DllGetClassObject");
        auto canUnload = m.Entry<EntryPoint>("DllCanUnloadNow");
        ASSERT_NE(getClassObject, nullptr);
        ASSERT_NE(canUnload, nullptr);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject(c.realClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(canUnload(), S_OK);
    }
}

TEST(Components, RegistrationSucceedsAndWritesNothing) {
    for (const Component& c : kComponents) {
        SCOPED_TRACE(Narrow(PathOf(c)));
        Module m(PathOf(c));
        ASSERT_NE(m.handle, nullptr);
        auto registerServer = m.Entry<EntryPoint>("DllRegisterServer");
        auto unregisterServer = m.Entry<EntryPoint>("DllUnregisterServer");
        ASSERT_NE(registerServer, nullptr);
        ASSERT_NE(unregisterServer, nullptr);

        RedirectedRegistry registry;
        ASSERT_TRUE(registry.ok());
        // The redirection is live: a write to the classes root is seen in its scratch key.
        HKEY probe = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"probe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &probe,
                                    nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(probe);
        ASSERT_EQ(EntriesUnder(registry.scratch(0)), 1u);
        ASSERT_EQ(::RegDeleteKeyW(HKEY_CLASSES_ROOT, L"probe"), ERROR_SUCCESS);

        EXPECT_EQ(registerServer(), S_OK);
        EXPECT_EQ(unregisterServer(), S_OK);
        registry.Restore();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(EntriesUnder(registry.scratch(i)), 0u) << "root " << i;
    }
}

TEST(Components, Regsvr32RegistersAndUnregistersEachSilently) {
    for (const Component& c : kComponents) {
        SCOPED_TRACE(Narrow(PathOf(c)));
        // The command line Setup uses.
        EXPECT_EQ(RunCommand(L"regsvr32 /s \"" + PathOf(c) + L"\""), 0);
        EXPECT_EQ(RunCommand(L"regsvr32 /u /s \"" + PathOf(c) + L"\""), 0);
    }
    // The runner sees a failed registration: a file that is not there.
    EXPECT_NE(RunCommand(L"regsvr32 /s \"" + OwnFolder() + L"\\NoSuchComponent.ocx\""), 0);
}

}  // namespace
