#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace contacts {

// Orders two given-name keys (the 20-byte padded Nombre fields) by decoded code
// point, character by character, as the file's sort does.
bool nombreLess(const char *a, const char *b);

// The final order of the file's swap sort (for i = 1..n-1, for j = i+1..n: swap
// records i and j when Nombre(j) < Nombre(i)), computed in O(n log n).
// `records` holds `count` records of 105 bytes. Returns `order` such that the record
// at input position order[p] ends at position p.
std::vector<std::uint32_t> swapSortOrder(const char *records, std::size_t count);

} // namespace contacts
