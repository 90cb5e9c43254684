// The writing end of the cipher's pipeline: the blocks of one document go to its new file
// in order, on a thread of their own while the next block is read and transformed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/file_system.h"

namespace kv {

// Writes the blocks of one document in order, on a thread of its own when there is more
// than one block, and says how far the document is once each block is written. Its
// buffers go round between the reading thread and the writing one; a failed write stops
// it and is returned by Finish, after which FreeBuffer gives no more buffers.
class BlockWriter {
public:
    // `written` is called with a block's `done` once the block is written, on the thread
    // that wrote it; what it throws ends the writing and is thrown again by Finish.
    BlockWriter(FileHandle& out, std::function<void(std::uint64_t done)> written, std::size_t write_size,
                bool threaded);
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // A buffer of at least `size` bytes to fill; null once a write has failed.
    std::uint8_t* FreeBuffer(std::size_t size);
    // The buffer last given out holds `size` bytes to write; `done` positions are then read.
    void Submit(std::size_t size, std::uint64_t done);
    // Waits until every block submitted is written; the first failure, if any.
    FsStatus Finish();
    // Stops writing, dropping what is not written yet.
    void Stop();

private:
    static constexpr std::size_t kBuffers = 3;
    struct Block {
        std::size_t buffer;
        std::size_t size;
        std::uint64_t done;
    };

    FsStatus WriteInPieces(const std::uint8_t* data, std::size_t size);
    void Run();

    FileHandle& out_;
    std::function<void(std::uint64_t done)> written_;
    std::size_t write_size_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::vector<std::uint8_t>> buffers_;  // never resized once the writer runs
    std::deque<std::size_t> free_;
    std::deque<Block> queued_;
    std::size_t filling_ = 0;
    FsStatus status_;
    std::exception_ptr error_;
    bool finishing_ = false;
    std::thread thread_;
};

}  // namespace kv
