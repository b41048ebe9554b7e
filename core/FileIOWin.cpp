#include <windows.h>

#include <algorithm>
#include <atomic>

#include "core/FileIO.h"
#include "core/WinHandle.h"

void logRemovedTemporary(const std::string& path, bool removed);

namespace {

std::atomic<unsigned> gCounter{0};

bool processRuns(DWORD pid) {
    WinHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    // A process that exists but is not ours to open still runs.
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

int64_t secondsSince(const FILETIME& t) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& f) { return static_cast<int64_t>(uint64_t{f.dwHighDateTime} << 32 | f.dwLowDateTime); };
    return (ticks(now) - ticks(t)) / 10000000;
}

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, uint32_t* systemError) {
    std::string temp = temporaryFileName(path, GetCurrentProcessId(), gCounter++);
    auto fail = [&](DWORD err) {
        if (systemError) *systemError = err;
        DeleteFileA(temp.c_str());
        return false;
    };
    {
        WinHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            if (systemError) *systemError = GetLastError();
            return false;
        }
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
                DWORD err = GetLastError();
                file.close();
                return fail(err ? err : ERROR_DISK_FULL);
            }
            done += written;
        }
        if (!FlushFileBuffers(file.get()) || !file.close()) {
            DWORD err = GetLastError();
            return fail(err);
        }
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(GetLastError());
    return true;
}

bool readWholeFile(const std::string& path, std::string& out, size_t maxBytes, uint32_t* systemError) {
    auto fail = [&](DWORD err) {
        if (systemError) *systemError = err;
        return false;
    };
    // Shared for every access, so a file being replaced or logged to still reads.
    WinHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail(GetLastError());
    // Sized once from the start, so a large file is held once, not copied
    // through doubling buffers; one past the limit fails before any reading.
    std::string data;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.get(), &size)) {
        if (static_cast<uint64_t>(size.QuadPart) > maxBytes) return fail(ERROR_FILE_TOO_LARGE);
        data.reserve(static_cast<size_t>(size.QuadPart));
    }
    char buf[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buf, sizeof buf, &got, nullptr)) return fail(GetLastError());
        if (got == 0) break;
        if (got > maxBytes - data.size()) return fail(ERROR_FILE_TOO_LARGE);
        data.append(buf, got);
    }
    out = std::move(data);
    return true;
}

bool appendToFile(const std::string& path, std::string_view bytes) {
    // Shared for reading and deleting, not for writing, as the log always was.
    WinHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void removeStaleTemporaryFiles(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "*.tmp*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        uint32_t pid = 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !temporaryFileOwner(found.cFileName, pid)) continue;
        std::string path = dir + found.cFileName;
        if (temporaryFileStale(pid != 0 && processRuns(pid), secondsSince(found.ftLastWriteTime)))
            logRemovedTemporary(path, DeleteFileA(path.c_str()) != 0);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}
