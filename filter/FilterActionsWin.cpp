#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <wininet.h>

#include <vector>

#include "filter/FilterActions.h"

namespace {

constexpr DWORD kUrlTimeoutMs = 30000;
constexpr DWORD kUrlAnswerLimit = 64 * 1024;

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h) : h_(h) {}
    ~InternetHandle() { if (h_) InternetCloseHandle(h_); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return h_; }

private:
    HINTERNET h_;
};

// The canonical form of `url` (blanks and unsafe characters escaped). When it
// needs more room than twice the URL's length, the size the call asks for is
// given; a URL that cannot be canonicalized at all is not sent.
bool canonicalize(const std::string& url, std::string& out) {
    DWORD size = static_cast<DWORD>(url.size() * 2 + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<char> buffer(size + 1);
        DWORD length = size;
        if (InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &length, 0)) {
            out.assign(buffer.data(), length);
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= size) return false;
        size = length + 1;
    }
    return false;
}

}  // namespace

void launchFile(const std::string& path) {
    if (path.empty()) return;
    // No error box: a worker thread runs this, and the action fails silently.
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    // The worker has no message loop for the shell to finish the launch in.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = "open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}

void playSoundFile(const std::string& file) {
    if (file.empty()) return;
    // A missing file stays silent instead of playing the system's default sound.
    sndPlaySoundA(file.c_str(), SND_SYNC | SND_NODEFAULT);
}

void sendToUrl(const std::string& url) {
    if (url.empty()) return;
    InternetHandle session(InternetOpenA("Email Checker", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.get()) return;
    // A worker waits here; a server that never answers or never stops
    // answering must not keep it past its check's silence deadline.
    DWORD timeout = kUrlTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(session.get(), option, &timeout, sizeof timeout);
    std::string canonical;
    if (!canonicalize(url, canonical)) return;
    InternetHandle request(InternetOpenUrlA(session.get(), canonical.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    if (request.get()) {
        // The answer only tells the receiver got the request; read a little of it.
        char piece[1024];
        DWORD got = 0, total = 0;
        while (total < kUrlAnswerLimit && InternetReadFile(request.get(), piece, sizeof piece, &got) && got > 0)
            total += got;
    } else {
        char text[2048];
        DWORD error = 0, length = sizeof text;
        InternetGetLastResponseInfoA(&error, text, &length);
    }
}
