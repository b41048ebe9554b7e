#include "core/FileIO.h"

#include <cstdio>
#include <memory>

bool readWholeFile(const std::string& path, std::string& out, size_t maxBytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) {
        if (n > maxBytes - data.size()) return false;
        data.append(buf, n);
    }
    if (std::ferror(file.get())) return false;
    out = std::move(data);
    return true;
}
