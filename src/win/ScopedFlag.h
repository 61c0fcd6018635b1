#pragma once
// A flag that is set for the life of a scope and cleared when the scope ends, also when it ends
// in an exception: a guard left up would block what it guards for the rest of the program's run.

namespace snapkeep::win {

class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
};

} // namespace snapkeep::win
