#pragma once
// Whether a backup's scan found so much of the earlier backup changed that it should ask first.
// Ransomware encrypts a user's files in place; a backup run after it would copy every encrypted
// file over its good copy. Ordinary work changes a few files between backups, not most of them.
// Portable: numbers only.
#include <cstdint>

namespace snapkeep {

// At least this many changed files before the job asks: a handful of files, all edited since
// the last backup, is ordinary work.
inline constexpr std::uint32_t kChangeAlarmMinimumFiles = 20;

// True when at least half of the files that already had a copy (`withCopy`), and at least 20
// of them, now differ from it in content (`changed`; size or last-write time).
bool TooManyBackedUpFilesChanged(std::uint32_t withCopy, std::uint32_t changed);

} // namespace snapkeep
