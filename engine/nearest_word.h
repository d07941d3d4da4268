// The known word closest to a misspelt one, for "did you mean" hints.
//
// Closeness is the number of single-byte insertions, deletions, changes and
// swaps of two neighbours between the two words, ASCII case ignored (the
// page language ignores case, so "TOUPPR" is one edit from "toUpper").  A
// word further than a third of its length (at least 1, at most 3 edits) from
// every candidate has no suggestion: a guess that far off misleads more than
// it helps.
#ifndef BRINDLE_ENGINE_NEAREST_WORD_H
#define BRINDLE_ENGINE_NEAREST_WORD_H

#include <cstddef>
#include <string_view>
#include <vector>

namespace bw {

size_t editDistance(std::string_view a, std::string_view b);

// The candidate nearest to `word` within the bound above; null when none is.
// On a tie the first candidate wins.
const char* nearestWord(std::string_view word, const std::vector<const char*>& candidates);

}  // namespace bw

#endif
