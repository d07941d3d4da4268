// Reading a stream to its end in large pieces.
#include "engine/stream_reading.h"

#include <fstream>

namespace bw {
namespace {

// What is left of a seekable stream, or 0 when it cannot tell.
size_t bytesLeft(std::istream& in) {
  std::istream::pos_type here = in.tellg();
  if (here == std::istream::pos_type(-1)) return 0;
  in.seekg(0, std::ios::end);
  std::istream::pos_type end = in.tellg();
  in.seekg(here);
  if (!in || end == std::istream::pos_type(-1) || end < here) {
    in.clear(in.rdstate() & std::ios::badbit);
    return 0;
  }
  return static_cast<size_t>(end - here);
}

}  // namespace

void appendWholeStream(std::istream& in, std::string& out) {
  // A file is read with one read of its known size; a pipe, or a file that
  // grows meanwhile, goes on in pieces until its end.
  size_t piece = bytesLeft(in) + 1;
  constexpr size_t kPiece = 1 << 16;
  for (;;) {
    size_t had = out.size();
    out.resize(had + piece);
    in.read(&out[had], static_cast<std::streamsize>(piece));
    out.resize(had + static_cast<size_t>(in.gcount()));
    if (!in) return;
    piece = kPiece;
  }
}

bool readWholeFile(const std::filesystem::path& file, std::string& out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  out.clear();
  appendWholeStream(in, out);
  return !in.bad();
}

}  // namespace bw
