// Whole-file reading and writing and the few folder operations the program
// needs. Paths are 8-bit text in the platform's own form ("/" on POSIX).
//
// Operators copy their data folders from Windows installations, where names
// are case-insensitive; FindPath() lets every reader find "COMM_Ports.cfg"
// when the file on disk is called "comm_ports.CFG".
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The separator between folder names on this platform.
char PathSeparator();

// Joins a folder (with or without a trailing separator) and a relative path
// written with either "\" or "/" between its parts.
std::string JoinPath(std::string_view folder, std::string_view relative);

// Returns the path of an existing file or folder that matches `path` with
// every name compared without regard to letter case. When nothing matches,
// `path` is returned unchanged (so a later open fails by itself).
std::string FindPath(const std::string& path);

bool FileExists(const std::string& path);       // a regular file, exact name
bool DirectoryExists(const std::string& path);  // a folder, exact name

// Creates one folder (its parent must exist). True when it exists afterwards.
bool CreateDirectory(const std::string& path);

// Reads the whole file as bytes. False (and `out` empty) when it cannot be read.
bool ReadFile(const std::string& path, std::string& out);

// Replaces the file with `data`: the bytes are written to a temporary file in
// the same folder, flushed, and renamed over `path`, so a failed write never
// loses the file that was there. On failure `error` (when given) names the
// reason and the old file is untouched.
bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error = nullptr);

// Creates a new file holding `data`; fails when a file of that name exists
// already (two writers never overwrite each other's file).
bool WriteFileExclusive(const std::string& path, std::string_view data,
                        std::string* error = nullptr);

bool RemoveFile(const std::string& path);

// The folder of the running executable, without a trailing separator; empty
// when it cannot be determined.
std::string ExecutableFolder();

}  // namespace platform
