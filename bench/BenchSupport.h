#pragma once
// What both benchmark programs need: a precise clock, the median of repeated timings, and the
// removal of the folders they make.
#include <string>
#include <vector>

namespace snapkeep::bench {

// Seconds on the performance counter.
double Now();

// The middle value (0 for none).
double Median(std::vector<double> values);

// Removes a folder with everything in it, read-only files included.
void RemoveTree(const std::wstring& path);

} // namespace snapkeep::bench
