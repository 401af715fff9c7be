#pragma once
// The whole of a file named on the command line, or why it cannot be read.
#include <string>

namespace cli {

// False with the system's reason (as strerror gives it) when the file cannot be read.
bool ReadInputFile(const std::string& path, std::string& contents, std::string& reason);

}  // namespace cli
