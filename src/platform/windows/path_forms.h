// Path forms only Windows has: the short (8.3) form for scripts and command lines that must
// stay within the ANSI code page, and the long form of a path reported in short form.
#pragma once

#include <string>

namespace nd::platform::win {

// The short form of an existing path; the empty text when it does not exist or has none.
std::string ShortPathOf(const std::string& path);
// The long form of a path; the path itself when it cannot be resolved.
std::string LongPathOf(const std::string& path);
// The running executable's full path.
std::string ExecutableFile();

}  // namespace nd::platform::win
