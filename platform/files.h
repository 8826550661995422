// Whole-file reading and writing and the few folder operations the program
// needs. Paths are 8-bit text in the platform's own form ("/" on POSIX).
// Paths of the data folder are built by DataFolders (data_folders.h), which
// also finds names copied from Windows in another letter case.
//
// Operations that can fail return a Result (result.h): a system failure names
// the path and carries the system's error text.
//
// Writes go through a temporary file ".halvorn-XXXXXX.tmp" in the target's
// folder, locked while it is written and named. A run killed in the middle
// leaves only such a file behind, never half a record under a real name;
// RemoveStaleTemporaryFiles() clears them away at the next start.
#pragma once

#include <cstddef>
#include <cstdint>
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
// Something holds the name: a file, a folder, a device, or a symbolic link
// (even one leading nowhere).
bool NameTaken(const std::string& path);

// Checks made before a run uses a file or folder, so that one it cannot use
// is refused at the start. Links are followed. The texts speak of "it": the
// caller names the path. A path that cannot be reached or read is a system
// failure whose text is the system's alone ("No such file or directory",
// "Permission denied").
//
// A file that may be read: a folder is refused ("it is a folder"), and so
// is anything but a regular file ("it is not a regular file"); a regular
// file larger than `limit` bytes is refused with its size and the limit.
// Refusals are caller mistakes.
Result<> CheckReadableFile(const std::string& path, std::uint64_t limit);
// The same, except that a pipe or a terminal (anything but a folder that is
// no regular file) passes: it is read as it comes, so no size applies.
Result<> CheckReadableFileOrStream(const std::string& path, std::uint64_t limit);
// An existing folder; anything else is a caller mistake ("it is not a
// folder").
Result<> CheckFolder(const std::string& path);

// Creates one folder (its parent must exist). Success when it exists afterwards.
Result<> CreateDirectory(const std::string& path);

// The largest file ReadFile() reads unless told otherwise: far above any
// script, program, configuration or language file, far below what would
// exhaust the memory of a test station.
inline constexpr std::size_t kReadLimit = 64u << 20;

// Reads the whole file as bytes; `out` is empty when it cannot be read. Only
// regular files are read, opened without waiting, so a folder, a device or a
// named pipe is refused at once (a caller mistake) and never blocks. A file
// larger than `limit` bytes is refused before anything is read (a caller
// mistake whose text names the path, its size and the limit).
Result<> ReadFile(const std::string& path, std::string& out, std::size_t limit = kReadLimit);

// Replaces the file with `data`: the bytes are written to a temporary file in
// the same folder, flushed, and renamed over `path`, and the folder is
// flushed, so a failed write (a full disk, a file-size limit) or a kill never
// loses the file that was there. The new file keeps the old one's
// permissions; a new name gets the usual ones (0666 less the umask). A
// symbolic link at `path` is replaced, never written through. On failure the
// old file is untouched and no temporary file is left.
//
// Only a name that is free or holds a regular file or a link is replaced
// that way. A character device or a FIFO (/dev/null, a terminal, a pipe a
// reader waits on) is written through as it stands, and so is a link that
// names an open descriptor (/dev/stdout, /dev/fd/N); a FIFO nobody has open
// for reading is a system failure at once, never a wait, and a reader that
// goes away fails the write without a SIGPIPE. A folder, a socket or a block
// device is never written: a caller mistake that says which it is.
Result<> WriteFileAtomic(const std::string& path, std::string_view data);

// Whether WriteFileAtomic(path, ...) can be expected to succeed, checked
// before a run so that a record it cannot keep is known at the start: a
// caller mistake for what is never written (as above, or a "folder" that is
// not one), a system failure when the folder cannot be reached or written
// or a device or FIFO may not be written. The texts speak of "it" and "its
// folder": the caller names the path.
Result<> CheckWritable(const std::string& path);

// Creates a new file holding `data` without ever overwriting one: the bytes
// are written and flushed under a temporary name and then given `path` only
// if no file of that name exists, so the name never holds half a record and
// two writers never take each other's file (a hard link, or on file systems
// without them a rename that refuses to replace; only where neither exists
// is the name created first and then written). A name that is taken already
// (by anything NameTaken() sees) is a caller mistake; any other failure is a
// system failure.
Result<> WriteFileExclusive(const std::string& path, std::string_view data);

// Removes the temporary files that writers killed in the middle left in
// `folder`. A temporary file that a running writer (of this or another
// process) still holds is left alone. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);

Result<> RemoveFile(const std::string& path);

// The folder of the running executable, without a trailing separator; empty
// when it cannot be determined.
std::string ExecutableFolder();

}  // namespace platform
