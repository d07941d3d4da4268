// Edit distance (optimal string alignment: Damerau's four edits, each
// substring edited once) over two rows of the usual table plus the row
// before them for swaps.
#include "engine/nearest_word.h"

#include <algorithm>

#include "engine/text_util.h"

namespace bw {

size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = foldAscii(a[i - 1]) == foldAscii(b[j - 1]);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && foldAscii(a[i - 1]) == foldAscii(b[j - 2]) &&
          foldAscii(a[i - 2]) == foldAscii(b[j - 1]))
        current[j] = std::min(current[j], before[j - 2] + 1);
    }
    before.swap(previous);
    previous.swap(current);
  }
  return previous[b.size()];
}

const char* nearestWord(std::string_view word, const std::vector<const char*>& candidates) {
  const size_t bound = std::min<size_t>(3, std::max<size_t>(1, word.size() / 3));
  const char* best = nullptr;
  size_t bestDistance = bound + 1;
  for (const char* candidate : candidates) {
    size_t distance = editDistance(word, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace bw
