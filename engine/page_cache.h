// Compiled pages of a site, kept between requests.
//
// A site serves the same few pages again and again, and compiling a page
// costs about what rendering it does, so each page file is compiled once and
// kept, keyed by its path and checked against its stamp (site_paths.h) on
// every request: a file that changed is read and compiled again.
// At most `capacity` pages are kept; the one used longest ago makes room.
// The server's workers share one cache, so it is guarded by its own lock,
// held only while the table is consulted: pages are read and compiled
// outside it, and a page handed out stays valid while its holder keeps it,
// even once the cache has let it go.  The pages point at the tag table they
// were compiled for, so the cache must not outlive that library.
#ifndef BRINDLE_ENGINE_PAGE_CACHE_H
#define BRINDLE_ENGINE_PAGE_CACHE_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/compiled_page.h"
#include "engine/site_paths.h"
#include "engine/tag_table.h"

namespace bw {

class CompiledPageCache {
 public:
  static constexpr size_t kDefaultCapacity = 256;

  CompiledPageCache(const TagTable& tags, size_t capacity = kDefaultCapacity)
      : tags_(tags), capacity_(capacity == 0 ? 1 : capacity) {}

  // The compiled page of `file`, or null when it cannot be read.
  std::shared_ptr<const CompiledPage> page(const std::filesystem::path& file);
  // The same, for a file whose stamp the caller has just taken.
  std::shared_ptr<const CompiledPage> page(const std::filesystem::path& file, const FileStamp& stamp);

  size_t size() const;
  uint64_t compilations() const;  // pages compiled so far, cached or not

 private:
  struct Entry {
    FileStamp stamp;
    std::shared_ptr<const CompiledPage> page;
    uint64_t lastUse = 0;
  };
  void keep(const std::string& key, const FileStamp& stamp, std::shared_ptr<const CompiledPage> page);

  const TagTable& tags_;
  const size_t capacity_;
  mutable std::mutex lock_;
  std::map<std::string, Entry> entries_;
  uint64_t clock_ = 0;
  uint64_t compilations_ = 0;
};

}  // namespace bw

#endif
