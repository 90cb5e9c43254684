// The package's icon files: every size a shortcut or Explorer asks for is in the file itself,
// in full colour with transparency, and Windows loads each of them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

std::vector<unsigned char> ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned Word(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Dword(const std::vector<unsigned char>& b, size_t at) { return Word(b, at) | (Word(b, at + 2) << 16); }

struct Entry {
    unsigned size;
    unsigned bitCount;
};

// The directory of an icon file; empty when the header or an entry's image lies outside it.
std::vector<Entry> Directory(const std::vector<unsigned char>& b) {
    std::vector<Entry> entries;
    if (b.size() < 6 || Word(b, 0) != 0 || Word(b, 2) != 1) return {};
    const unsigned count = Word(b, 4);
    if (b.size() < 6 + 16u * count) return {};
    for (unsigned i = 0; i < count; ++i) {
        const size_t e = 6 + 16u * i;
        const uint32_t bytes = Dword(b, e + 8), offset = Dword(b, e + 12);
        if (offset < 6 + 16u * count || offset > b.size() || bytes > b.size() - offset) return {};
        const bool png = bytes >= 8 && b[offset] == 0x89 && b[offset + 1] == 'P';
        // A bitmap entry states its depth in its header; a PNG entry is checked by loading it.
        const unsigned bits = png ? 32 : (bytes >= 16 ? Word(b, offset + 14) : 0);
        entries.push_back({b[e] == 0 ? 256u : b[e], bits});
    }
    return entries;
}

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    SIZE size{};
    if (!::GetIconInfo(icon, &info)) return size;
    BITMAP bm{};
    if (::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm)) size = {bm.bmWidth, bm.bmHeight};
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return size;
}

TEST(PackageIcons, EachHoldsEverySizeInFullColourAndLoads) {
    for (const wchar_t* name : {L"Beacon.ico", L"Skull.ico"}) {
        const std::wstring path = OwnFolder() + L"\\" + name;
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        const std::vector<Entry> entries = Directory(ReadAll(path));
        ASSERT_FALSE(entries.empty());
        std::set<unsigned> sizes;
        for (const Entry& e : entries) {
            sizes.insert(e.size);
            EXPECT_EQ(e.bitCount, 32u) << e.size;
        }
        EXPECT_EQ(sizes, (std::set<unsigned>{16, 24, 32, 48, 256}));

        for (int s : {16, 32, 48, 256}) {
            HICON icon = static_cast<HICON>(::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, s, s, LR_LOADFROMFILE));
            ASSERT_NE(icon, nullptr) << s;
            const SIZE got = IconSize(icon);
            EXPECT_EQ(got.cx, s);
            EXPECT_EQ(got.cy, s);
            ::DestroyIcon(icon);
        }
    }
}

}  // namespace
