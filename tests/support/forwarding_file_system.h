// Test doubles of the file system that pass everything on to a real one. A test makes a
// chosen step fail (from its n-th call on, for as many calls in a row as it asks), or
// overrides only the calls it wants to slow down, fail or watch.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/file_system.h"

namespace kvtest {

// The steps a test can count and make fail.
enum class FsStep { kOpenDocument, kCreate, kRead, kWrite, kFlush, kPutInPlace, kRemove, kCount };

// Counts the steps taken and answers the chosen failure instead of letting one through.
class StepFaults {
public:
    // The `nth` call of `step` (counted from 1) and the `times - 1` after it fail with `kind`
    // and the system's wording `text`.
    void FailAt(FsStep step, kv::FsErrorKind kind, int nth = 1, int times = 1 << 30, std::wstring text = {}) {
        step_ = step;
        kind_ = kind;
        nth_ = nth;
        times_ = times;
        text_ = std::move(text);
    }
    int calls(FsStep step) const { return calls_[int(step)]; }

    // Counts one call of `step`: a failure when it is one of the chosen.
    kv::FsStatus Take(FsStep step) {
        const int n = ++calls_[int(step)];
        if (step == step_ && n >= nth_ && n - nth_ < times_) return {kind_, text_};
        return {};
    }

private:
    std::atomic<int> calls_[int(FsStep::kCount)] = {};  // reads come from a thread of their own
    FsStep step_ = FsStep::kCount;
    kv::FsErrorKind kind_ = kv::FsErrorKind::kNone;
    int nth_ = 0, times_ = 0;
    std::wstring text_;
};

// An open file passed on to a real one; with `faults` its reads, writes, flushes and moves
// into place are counted there and may fail.
struct ForwardingFileHandle : kv::FileHandle {
    explicit ForwardingFileHandle(std::unique_ptr<kv::FileHandle> f, StepFaults* faults = nullptr)
        : inner(std::move(f)), faults_(faults) {}
    kv::FsStatus Size(std::uint64_t* size) override { return inner->Size(size); }
    kv::FsStatus Read(std::uint8_t* d, std::size_t n, std::size_t* got) override {
        const kv::FsStatus s = Take(FsStep::kRead);
        return s.ok() ? inner->Read(d, n, got) : s;
    }
    kv::FsStatus Write(const std::uint8_t* d, std::size_t n) override {
        const kv::FsStatus s = Take(FsStep::kWrite);
        return s.ok() ? inner->Write(d, n) : s;
    }
    kv::FsStatus Flush() override {
        const kv::FsStatus s = Take(FsStep::kFlush);
        return s.ok() ? inner->Flush() : s;
    }
    kv::FsStatus GetStamp(kv::FileStamp* stamp) override { return inner->GetStamp(stamp); }
    kv::FsStatus SetStamp(const kv::FileStamp& stamp) override { return inner->SetStamp(stamp); }
    kv::FsStatus PutInPlace(const std::wstring& target) override {
        const kv::FsStatus s = Take(FsStep::kPutInPlace);
        return s.ok() ? inner->PutInPlace(target) : s;
    }
    kv::FsStatus PutInPlaceIfFree(const std::wstring& target) override { return inner->PutInPlaceIfFree(target); }
    std::unique_ptr<kv::FileHandle> inner;

private:
    kv::FsStatus Take(FsStep step) { return faults_ ? faults_->Take(step) : kv::FsStatus{}; }
    StepFaults* faults_;
};

class ForwardingFileSystem : public kv::FileSystem, public StepFaults {
public:
    explicit ForwardingFileSystem(kv::FileSystem& real) : real_(real) {}
    kv::FsStatus Open(const std::wstring& path, kv::OpenMode mode, std::unique_ptr<kv::FileHandle>* file) override {
        kv::FsStatus s = Take(mode == kv::OpenMode::kReadWriteExisting ? FsStep::kOpenDocument : FsStep::kCreate);
        if (s.ok()) s = real_.Open(path, mode, file);
        if (s.ok()) *file = std::make_unique<ForwardingFileHandle>(std::move(*file), this);
        return s;
    }
    kv::FsStatus Remove(const std::wstring& path) override {
        const kv::FsStatus s = Take(FsStep::kRemove);
        return s.ok() ? real_.Remove(path) : s;
    }
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

}  // namespace kvtest
