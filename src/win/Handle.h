#pragma once
// Move-only owners of Windows handles: every handle the program opens is closed by exactly one
// destructor, whatever road a function takes out.
#include <windows.h>

#include <utility>

namespace snapkeep::win {

template <class Traits> class UniqueHandle {
public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueHandle(Value value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Value Get() const noexcept { return value_; }
    bool Valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    Value Release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Value value = Traits::Invalid()) noexcept {
        if (Valid())
            Traits::Close(value_);
        value_ = value;
    }

private:
    Value value_;
};

// Threads, events, mutexes, processes: CreateXxx answers NULL on failure.
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value h) noexcept { ::CloseHandle(h); }
};

// CreateFileW answers INVALID_HANDLE_VALUE on failure.
struct FileHandleTraits {
    using Value = HANDLE;
    static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value h) noexcept { ::CloseHandle(h); }
};

// FindFirstFileW handles are closed with FindClose, not CloseHandle.
struct FindHandleTraits {
    using Value = HANDLE;
    static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value h) noexcept { ::FindClose(h); }
};

using Handle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;

// Scoped ownership of a critical section for the length of a block.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) noexcept : cs_(cs) {
        ::EnterCriticalSection(&cs_);
    }
    ~CriticalSectionLock() { ::LeaveCriticalSection(&cs_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

} // namespace snapkeep::win
