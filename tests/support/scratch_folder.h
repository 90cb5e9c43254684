// Native tests of the file-level code: a fresh folder under /tmp for each test, removed
// afterwards, with the platform's file system (no flushes) and helpers to put, get and list
// files in it.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/file_system.h"

namespace kvtest {

class ScratchFolderTest : public ::testing::Test {
protected:
    using Bytes = std::vector<std::uint8_t>;

    void SetUp() override {
        std::string pattern = "/tmp/kv_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::wstring WPath(const std::string& name) const {
        const std::string p = Path(name);
        return {p.begin(), p.end()};
    }
    void Put(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Bytes Get(const std::string& name) const {
        std::ifstream f(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) names.insert(e.path().filename().string());
        return names;
    }

    std::string dir_;
    std::unique_ptr<kv::FileSystem> fs_ = kv::MakePlatformFileSystem(false);
};

}  // namespace kvtest
