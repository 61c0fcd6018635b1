#pragma once
// Moves a file's data in 1000-byte blocks without 1000-byte I/O. The source is read a chunk at a
// time into one buffer; the copy loop takes the chunk block by block (the blocks set how finely
// pause, cancel and the percentage act); a chunk goes to the destination in one write once all
// its blocks have been passed on. The data is never copied in memory.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "worker/FileAccess.h"

namespace snapkeep {

inline constexpr DWORD kCopyBlockSize = 1000;

class BlockPipe {
public:
    // `expectedSize` is the size the copy started with: it sizes the buffer (a small file gets a
    // small one) and ends the reading, so a file is not asked once more for an end it has
    // reached.
    BlockPipe(FileAccess& files, HANDLE source, HANDLE destination, std::uint64_t expectedSize);
    BlockPipe(const BlockPipe&) = delete;
    BlockPipe& operator=(const BlockPipe&) = delete;

    // The next block: up to kCopyBlockSize bytes, 0 once the source has no more. False when
    // reading failed.
    bool ReadBlock(DWORD& got);
    // Passes the block just read on to the destination. False when writing failed.
    bool WriteBlock(DWORD count);
    // Writes the blocks passed on and not yet written. False when writing failed.
    bool Flush();
    // The Windows error of the write that failed (0 when it gave none).
    DWORD WriteError() const { return writeError_; }
    // The bytes read from the source so far: short of the size the copy started with when the
    // source ended early.
    std::uint64_t BytesRead() const { return readSoFar_; }

private:
    bool Fill();

    FileAccess& files_;
    HANDLE source_;
    HANDLE destination_;
    std::unique_ptr<char[]> buffer_;
    DWORD capacity_;
    std::uint64_t expectedSize_;
    std::uint64_t readSoFar_ = 0;
    DWORD filled_ = 0;  // bytes of the current chunk
    DWORD taken_ = 0;   // of them, handed out as blocks
    DWORD passed_ = 0;  // of them, passed on to the destination
    DWORD written_ = 0; // of them, written
    bool sourceEnded_ = false;
    DWORD writeError_ = 0;
};

} // namespace snapkeep
