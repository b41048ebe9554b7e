// Whole-file reads and writes for the program's data files.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Writes `bytes` to a temporary file in the same directory as `path`, then
// moves it over `path` (clearing a read-only attribute of the old file on
// Windows). A crash or a full disk leaves the old file whole. On failure
// returns false with the system's error code in *systemError (when given)
// and leaves no temporary file behind.
bool writeFileAtomically(const std::string& path, std::string_view bytes, uint32_t* systemError = nullptr);

// The whole file into `out`. False when it cannot be opened or read, or is
// larger than `maxBytes` (data files are small; a huge one is damage), with
// the system's error code in *systemError (when given); `out` is then left
// alone.
constexpr size_t kMaxDataFileBytes = 64u << 20;
// The error code of a file that does not exist (ERROR_FILE_NOT_FOUND and ENOENT alike).
constexpr uint32_t kMissingFileError = 2;
// The error code of a file past `maxBytes` (ERROR_FILE_TOO_LARGE, EFBIG).
#ifdef _WIN32
constexpr uint32_t kFileTooLargeError = 223;
#else
constexpr uint32_t kFileTooLargeError = 27;
#endif
bool readWholeFile(const std::string& path, std::string& out, size_t maxBytes = kMaxDataFileBytes,
                   uint32_t* systemError = nullptr);

// Appends `bytes` to `path` (created when missing), opened for this append
// alone so that the file can be read, moved or deleted between appends;
// other writers are kept out while it is open. False when it could not be
// opened or written.
bool appendToFile(const std::string& path, std::string_view bytes);

// The temporary file of writeFileAtomically for `path`: "<path>.tmp<pid>-<n>".
std::string temporaryFileName(const std::string& path, uint32_t pid, unsigned n);
// The writer's process id of such a file name, when the name is one of a
// data file (a ".dat" or ".msg" file) of this program.
bool temporaryFileOwner(std::string_view name, uint32_t& pid);

// A temporary file may be removed when its writer no longer runs, or when it
// is older than any write takes (the writer's id may belong to another
// process by now). A running writer's fresh file is its write in progress.
constexpr int64_t kStaleTemporarySeconds = 3600;
inline bool temporaryFileStale(bool writerRuns, int64_t ageSeconds) {
    return !writerRuns || ageSeconds > kStaleTemporarySeconds;
}

// Deletes the temporary files that writes in `dir` (ending in a path
// separator) left behind when their process was killed; logs each one.
void removeStaleTemporaryFiles(const std::string& dir);
