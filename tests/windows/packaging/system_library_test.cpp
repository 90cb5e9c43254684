// Libraries loaded on demand come from the system folder, never from the program's folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win/printing.h"
#include "win/system_library.h"

namespace {

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    return std::wstring(folder, ::GetSystemDirectoryW(folder, MAX_PATH));
}

std::wstring ModulePath(HMODULE m) {
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, ::GetModuleFileNameW(m, path, MAX_PATH));
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && path[folder.size()] == L'\\' &&
           ::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                  static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

TEST(SystemLibrary, TheLibrariesKorvaneLoadsOnDemandComeFromTheSystemFolder) {
    for (const wchar_t* name : {L"version.dll", L"winspool.drv"}) {
        HMODULE m = kv::win::LoadSystemLibrary(name);
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(StartsWithFolder(ModulePath(m), SystemFolder()));
    }
    EXPECT_NE(kv::win::SystemProcAddress(L"version.dll", "GetFileVersionInfoSizeW"), nullptr);
    EXPECT_NE(kv::win::SystemProcAddress(L"winspool.drv", "GetDefaultPrinterW"), nullptr);
    EXPECT_EQ(kv::win::SystemProcAddress(L"version.dll", "NoSuchFunction"), nullptr);
}

TEST(SystemLibrary, AFileBesideTheProgramIsNeverLoaded) {
    // A loadable library planted beside the program under a name the system folder lacks.
    const std::wstring planted = OwnFolder() + L"\\kv_planted.dll";
    ASSERT_TRUE(::CopyFileW((OwnFolder() + L"\\MSINET.ocx").c_str(), planted.c_str(), FALSE));

    // The ordinary search would take it...
    HMODULE ordinary = ::LoadLibraryW(L"kv_planted.dll");
    EXPECT_NE(ordinary, nullptr);
    if (ordinary) ::FreeLibrary(ordinary);
    // ...the system-folder search does not.
    EXPECT_EQ(kv::win::LoadSystemLibrary(L"kv_planted.dll"), nullptr);
    EXPECT_EQ(kv::win::SystemProcAddress(L"kv_planted.dll", "DllRegisterServer"), nullptr);

    ::DeleteFileW(planted.c_str());
}

TEST(SystemLibrary, PrintingReachesTheSpoolerLoadedOnDemand) {
    // Korvane no longer imports the spooler; opening the default printer still asks it.
    std::wstring whyNot;
    auto device = kv::win::OpenDefaultPrintDevice(whyNot);
    if (device) {
        EXPECT_TRUE(whyNot.empty());
    } else {
        // No printer here: the spooler answered, and said so.
        EXPECT_EQ(whyNot.find(L"printing service"), std::wstring::npos) << std::string(whyNot.begin(), whyNot.end());
        EXPECT_FALSE(whyNot.empty());
    }
}

}  // namespace
