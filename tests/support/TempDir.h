#pragma once
// A fresh, empty folder for one test, removed with everything in it when the test ends.
#include <string>

namespace snapkeep::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    // Path() + "\" + relative.
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Small file helpers for fixtures.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path); // empty when missing
bool FileExists(const std::wstring& path);
// Removes a folder tree; read-only files included.
void RemoveTree(const std::wstring& path);

} // namespace snapkeep::test
