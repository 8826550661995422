// Whole-file reading and writing and the few folder operations the program
// needs. Paths are 8-bit text in the platform's own form ("/" on POSIX).
// Paths of the data folder are built by DataFolders (data_folders.h), which
// also finds names copied from Windows in another letter case.
//
// Operations that can fail return a Result (result.h): a system failure names
// the path and carries the system's error text.
#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"

namespace platform {

// The separator between folder names on this platform.
char PathSeparator();

// Joins a folder (with or without a trailing separator) and a relative path
// written with either "\" or "/" between its parts.
std::string JoinPath(std::string_view folder, std::string_view relative);

bool FileExists(const std::string& path);       // a regular file, exact name
bool DirectoryExists(const std::string& path);  // a folder, exact name

// Creates one folder (its parent must exist). Success when it exists afterwards.
Result CreateDirectory(const std::string& path);

// Reads the whole file as bytes; `out` is empty when it cannot be read. Only
// regular files are read (a folder or a device is a caller mistake).
Result ReadFile(const std::string& path, std::string& out);

// Replaces the file with `data`: the bytes are written to a temporary file in
// the same folder, flushed, and renamed over `path`, and the folder is
// flushed, so a failed write or a kill never loses the file that was there.
// On failure the old file is untouched and no temporary file is left.
Result WriteFileAtomic(const std::string& path, std::string_view data);

// Creates a new file holding `data` without ever overwriting one: the bytes
// are written and flushed under a temporary name and then given `path` only
// if no file of that name exists, so the name never holds half a record and
// two writers never take each other's file. A name that is taken already is
// a caller mistake (FileExists(path) then tells it apart from a failure).
Result WriteFileExclusive(const std::string& path, std::string_view data);

Result RemoveFile(const std::string& path);

// The folder of the running executable, without a trailing separator; empty
// when it cannot be determined.
std::string ExecutableFolder();

}  // namespace platform
