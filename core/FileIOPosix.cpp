#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include <ctime>

#include "core/FileIO.h"

void logRemovedTemporary(const std::string& path, bool removed);

namespace {
std::atomic<unsigned> gCounter{0};
}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, uint32_t* systemError) {
    std::string temp = temporaryFileName(path, static_cast<uint32_t>(getpid()), gCounter++);
    auto fail = [&](int err) {
        if (systemError) *systemError = static_cast<uint32_t>(err);
        ::unlink(temp.c_str());
        return false;
    };
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return fail(err);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        return fail(err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
    return true;
}

bool readWholeFile(const std::string& path, std::string& out, size_t maxBytes, uint32_t* systemError) {
    auto fail = [&](int err) {
        if (systemError) *systemError = static_cast<uint32_t>(err);
        return false;
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(errno);
    std::string data;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (static_cast<uint64_t>(st.st_size) > maxBytes) {
            ::close(fd);
            return fail(EFBIG);
        }
        data.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            return fail(err);
        }
        if (n == 0) break;
        if (static_cast<size_t>(n) > maxBytes - data.size()) {
            ::close(fd);
            return fail(EFBIG);
        }
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    out = std::move(data);
    return true;
}

bool appendToFile(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    bool ok = ::close(fd) == 0 && n == static_cast<ssize_t>(bytes.size());
    return ok;
}

void removeStaleTemporaryFiles(const std::string& dir) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return;
    while (dirent* entry = ::readdir(d)) {
        uint32_t pid = 0;
        struct stat st;
        std::string path = dir + entry->d_name;
        if (!temporaryFileOwner(entry->d_name, pid) || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        bool runs = pid != 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
        if (temporaryFileStale(runs, static_cast<int64_t>(std::time(nullptr)) - st.st_mtime))
            logRemovedTemporary(path, ::unlink(path.c_str()) == 0);
    }
    ::closedir(d);
}
