#include "worker/BlockPipe.h"

#include <algorithm>

namespace snapkeep {

namespace {
// A thousand blocks per chunk: large enough that the system calls cost little next to the data,
// small enough to stay in the processor's caches.
constexpr DWORD kChunkSize = 1024 * kCopyBlockSize;
} // namespace

BlockPipe::BlockPipe(FileAccess& files, HANDLE source, HANDLE destination,
                     std::uint64_t expectedSize)
    : files_(files), source_(source), destination_(destination), expectedSize_(expectedSize) {
    const std::uint64_t wanted =
        std::clamp<std::uint64_t>(expectedSize, kCopyBlockSize, kChunkSize);
    capacity_ = static_cast<DWORD>(wanted);
    buffer_.reset(new char[capacity_]);
}

bool BlockPipe::Fill() {
    filled_ = taken_ = passed_ = written_ = 0;
    if (sourceEnded_)
        return true;
    // A regular file answers short only at its end; keep reading until the chunk is full, the
    // size the copy started with is reached, or the end is seen.
    while (filled_ < capacity_ && readSoFar_ < expectedSize_) {
        DWORD got = 0;
        if (!files_.Read(source_, buffer_.get() + filled_, capacity_ - filled_, got))
            return false;
        if (got == 0) {
            sourceEnded_ = true;
            break;
        }
        filled_ += got;
        readSoFar_ += got;
    }
    return true;
}

bool BlockPipe::ReadBlock(DWORD& got) {
    got = 0;
    if (taken_ == filled_) {
        if (!Flush() || !Fill())
            return false;
    }
    got = std::min(kCopyBlockSize, filled_ - taken_);
    taken_ += got;
    return true;
}

bool BlockPipe::WriteBlock(DWORD count) {
    passed_ = std::min(passed_ + count, taken_);
    return passed_ < filled_ ? true : Flush();
}

bool BlockPipe::Flush() {
    while (written_ < passed_) {
        DWORD put = 0;
        ::SetLastError(0);
        if (!files_.Write(destination_, buffer_.get() + written_, passed_ - written_, put) ||
            put == 0) {
            writeError_ = ::GetLastError();
            return false;
        }
        written_ += put;
    }
    return true;
}

} // namespace snapkeep
