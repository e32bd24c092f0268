// The frame-list text of the cel cyclers: comma-separated tokens, each a cel number, an
// inclusive range "a:b" (counting down when b < a) or a repeat "n*k" (k + 1 copies of n).
#pragma once

#include <string>
#include <vector>

// Longest text read (the rest is dropped with a log line).
constexpr size_t kFrameListMaxText = 511;
// Most entries one list may hold (the rest is dropped with a log line).
constexpr size_t kFrameListMaxEntries = 10000;

// Appends the frames of text to out; false (with one log line) when the text or the list
// had to be cut.
bool ParseFrameList(const std::string& text, std::vector<int>& out);
