// The program folder from the path the program was started by.
#pragma once

#include <string>

namespace dravik {

// The folder of `modulePath` in one spelling, however the program was started:
// 8.3 names become long ones (when a parent folder cannot be read, the path stays
// as given). No trailing separator except at a drive's top ("C:\"). Fails, naming
// the path, when the ANSI file functions cannot spell it.
std::wstring ProgramFolderOf(const std::wstring &modulePath);

// The path with its 8.3 names made long ones; as given when it cannot be read.
std::wstring LongSpellingOf(const std::wstring &path);

} // namespace dravik
