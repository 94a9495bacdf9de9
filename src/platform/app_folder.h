// The folder that holds the program, and the file-exists test.
#pragma once

#include <string>

namespace pressory::platform {

// The folder that holds the program file as the platform reports it: no
// trailing separator, except at a root ("/" or "C:\"). Empty if unknown.
std::string programFolder();

// The program folder as text that always ends in the separator ("\" on
// Windows, "/" elsewhere), one appended unless it already ends in one; empty
// if the folder cannot be determined.
std::string applicationFolder();

// The application folder for a given program folder (testable form of the above).
std::string applicationFolderOf(const std::string& programFolder);

// True if and only if the path is not empty and names an existing regular
// file that is not hidden. Any error gives false; never throws.
bool fileExists(const std::string& path);

}  // namespace pressory::platform
