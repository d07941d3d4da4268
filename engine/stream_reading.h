// Reading a whole page or site file into memory.
//
// Pages are read whole before they are rendered, and a byte-at-a-time stream
// iterator costs dozens of instructions per byte (more than rendering a page
// of tags), so streams are read here in large pieces instead.
#ifndef BRINDLE_ENGINE_STREAM_READING_H
#define BRINDLE_ENGINE_STREAM_READING_H

#include <filesystem>
#include <istream>
#include <string>

namespace bw {

// Appends everything left in `in` to `out`.  The stream's state afterwards
// tells a read error (bad()) from the end of the text.
void appendWholeStream(std::istream& in, std::string& out);

// The whole of `file` in out (replacing what it held); false when it cannot be read.
bool readWholeFile(const std::filesystem::path& file, std::string& out);

}  // namespace bw

#endif
