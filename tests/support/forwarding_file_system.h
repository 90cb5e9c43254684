// Test doubles of the file system that pass everything on to a real one; a test overrides
// only the calls it wants to slow down, fail or watch.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/file_system.h"

namespace kvtest {

class ForwardingFileSystem : public kv::FileSystem {
public:
    explicit ForwardingFileSystem(kv::FileSystem& real) : real_(real) {}
    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        return real_.Open(path, mode, file);
    }
    kv::FsStatus Replace(const std::wstring& from, const std::wstring& to) override { return real_.Replace(from, to); }
    kv::FsStatus Remove(const std::wstring& path) override { return real_.Remove(path); }
    bool Exists(const std::wstring& path) override { return real_.Exists(path); }
    kv::FsStatus Size(const std::wstring& path, std::uint64_t* size) override { return real_.Size(path, size); }
    kv::FsStatus Recycle(const std::wstring& path, bool* recycled) override { return real_.Recycle(path, recycled); }
    std::vector<std::wstring> FilesStartingWith(const std::wstring& folder, const std::wstring& prefix) override {
        return real_.FilesStartingWith(folder, prefix);
    }
    kv::FsStatus CheckName(const std::wstring& path) override { return real_.CheckName(path); }

protected:
    kv::FileSystem& real_;
};

struct ForwardingFileHandle : kv::FileHandle {
    explicit ForwardingFileHandle(std::unique_ptr<kv::FileHandle> f) : inner(std::move(f)) {}
    kv::FsStatus Size(std::uint64_t* size) override { return inner->Size(size); }
    kv::FsStatus Read(std::uint8_t* d, std::size_t n, std::size_t* got) override { return inner->Read(d, n, got); }
    kv::FsStatus Write(const std::uint8_t* d, std::size_t n) override { return inner->Write(d, n); }
    kv::FsStatus Flush() override { return inner->Flush(); }
    kv::FsStatus GetStamp(kv::FileStamp* stamp) override { return inner->GetStamp(stamp); }
    kv::FsStatus SetStamp(const kv::FileStamp& stamp) override { return inner->SetStamp(stamp); }
    kv::FsStatus PutInPlace(const std::wstring& target) override { return inner->PutInPlace(target); }
    kv::FsStatus PutInPlaceIfFree(const std::wstring& target) override { return inner->PutInPlaceIfFree(target); }
    std::unique_ptr<kv::FileHandle> inner;
};

}  // namespace kvtest
