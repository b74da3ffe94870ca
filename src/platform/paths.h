// Paths as texts, spelled the way this operating system spells them: joining a folder and a
// name, the last part of a path, and what may stand in a file name.
#pragma once

#include <string>

namespace nd::platform {

// Whether `c` separates the parts of a path here.
bool IsPathSeparator(char c);

// `folder` and `name` joined by one separator; `name` alone when `folder` is empty.
std::string JoinPath(const std::string& folder, const std::string& name);

// The last part of `path`: everything after its last separator (all of it when it has none).
std::string FileNameOf(const std::string& path);

// True when `path` names its place without reference to the current folder.
bool IsAbsolutePath(const std::string& path);

// `path` without one final separator, except where that separator is the whole root.
std::string WithoutFinalSeparator(std::string path);

// `text` usable as one file name: each character that no file name may hold here (it would
// name a folder) becomes "-".
std::string FileNameFromText(std::string text);

}  // namespace nd::platform
