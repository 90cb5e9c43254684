#include "core/block_writer.h"

#include <algorithm>
#include <utility>

namespace kv {

BlockWriter::BlockWriter(FileHandle& out, std::function<void(std::uint64_t done)> written, std::size_t write_size,
                         bool threaded)
    : out_(out), written_(std::move(written)), write_size_(std::max<std::size_t>(write_size, 1)) {
    buffers_.reserve(kBuffers);  // a buffer never moves while the writer uses it
    if (!threaded) return;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (...) {
        // No thread to be had: the blocks are written one after another instead.
    }
}

BlockWriter::~BlockWriter() { Stop(); }

std::uint8_t* BlockWriter::FreeBuffer(std::size_t size) {
    std::unique_lock<std::mutex> lock(lock_);
    if (!thread_.joinable()) {
        if (!status_.ok()) return nullptr;
        if (buffers_.empty()) buffers_.emplace_back(size);
        return buffers_.front().data();
    }
    if (buffers_.size() < kBuffers) {
        buffers_.emplace_back(size);
        free_.push_back(buffers_.size() - 1);
    }
    changed_.wait(lock, [&] { return !free_.empty() || !status_.ok(); });
    if (!status_.ok()) return nullptr;
    filling_ = free_.front();
    free_.pop_front();
    return buffers_[filling_].data();
}

void BlockWriter::Submit(std::size_t size, std::uint64_t done) {
    if (!thread_.joinable()) {
        const FsStatus status = WriteInPieces(buffers_.front().data(), size);
        std::lock_guard<std::mutex> lock(lock_);
        status_ = status;
        if (status_.ok()) written_(done);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(lock_);
        queued_.push_back({filling_, size, done});
    }
    changed_.notify_all();
}

FsStatus BlockWriter::Finish() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        finishing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(lock_);
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    return status_;
}

void BlockWriter::Stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        queued_.clear();
        finishing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

FsStatus BlockWriter::WriteInPieces(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 0; at < size;) {
        const std::size_t piece = std::min(write_size_, size - at);
        FsStatus status = out_.Write(data + at, piece);
        if (!status.ok()) return status;
        at += piece;
    }
    return {};
}

void BlockWriter::Run() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [&] { return !queued_.empty() || finishing_; });
        if (queued_.empty()) return;
        const Block block = queued_.front();
        queued_.pop_front();
        lock.unlock();
        FsStatus status;
        std::exception_ptr error;
        try {
            status = WriteInPieces(buffers_[block.buffer].data(), block.size);
            if (status.ok()) written_(block.done);
        } catch (...) {
            // Passed on as the cipher's own caller would have seen it.
            error = std::current_exception();
            status = {FsErrorKind::kOther, {}};
        }
        lock.lock();
        free_.push_back(block.buffer);
        if (!status.ok()) {
            status_ = status;
            error_ = error;
            queued_.clear();
            changed_.notify_all();
            return;
        }
        changed_.notify_all();
    }
}

}  // namespace kv
