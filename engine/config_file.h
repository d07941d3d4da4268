// Options read from a configuration file (--config FILE), so that a service
// unit can stay one short line.
//
// One option a line, named as on the command line without the leading
// dashes: "listen = 127.0.0.1:8080".  A name alone stands for an option that
// takes no value.  Blank lines and lines starting with "#" are skipped;
// spaces around the name and the value are not part of them.  The file's
// options become command-line arguments placed before the real ones, so
// that the command line wins wherever both set an option.
#ifndef BRINDLE_ENGINE_CONFIG_FILE_H
#define BRINDLE_ENGINE_CONFIG_FILE_H

#include <string>
#include <vector>

namespace bw {

// A configuration file larger than this is refused: it is surely not one.
constexpr size_t kMaxConfigFileBytes = 1 << 20;

// Appends "--name", or "--name=value" when there is a value, to args for
// each option of the file at path.  False with a message naming the file, and
// the line where there is one, when it cannot be read or a line is not an
// option ("--config" itself included).
bool readConfigFile(const std::string& path, std::vector<std::string>& args, std::string& error);

// args with every "--config FILE" (or "--config=FILE") replaced, in place
// of the command's first option, by the file's options: the command word
// stays first and the command line's own options follow the file's.
bool expandConfigFiles(const std::vector<std::string>& args, std::vector<std::string>& out,
                       std::string& error);

}  // namespace bw

#endif
