#include "core/Url.h"

#include <utility>

Url::Url(std::string scheme, std::string user, std::string password, std::string host, std::string path)
    : scheme_(std::move(scheme)),
      user_(std::move(user)),
      password_(std::move(password)),
      host_(std::move(host)),
      path_(std::move(path)) {
    join();
}

Url::Url(std::string_view text) { SetUrl(text); }

void Url::join() {
    valid_ = false;
    url_.clear();
    if (scheme_.empty()) return;
    url_ = scheme_ + "://";
    if (!user_.empty()) url_ += user_ + ":" + password_ + "@";
    if (host_.empty() && path_.empty()) return;
    url_ += host_ + path_;
    valid_ = true;
}

void Url::SetUrl(std::string_view text) {
    url_.clear();
    scheme_.clear();
    user_.clear();
    password_.clear();
    host_.clear();
    path_.clear();
    valid_ = false;
    if (text.empty()) return;

    size_t cut = text.find("://");
    if (cut == std::string_view::npos) return;
    scheme_ = text.substr(0, cut);
    std::string_view rest = text.substr(cut + 3);

    cut = rest.find(':');
    if (cut == std::string_view::npos) return;
    user_ = rest.substr(0, cut);
    rest = rest.substr(cut + 1);

    cut = rest.rfind('@');
    if (cut == std::string_view::npos) return;
    password_ = rest.substr(0, cut);
    rest = rest.substr(cut + 1);

    cut = rest.find('/');
    if (cut == std::string_view::npos) return;
    host_ = rest.substr(0, cut);
    path_ = rest.substr(cut);  // never empty: it starts with the "/"

    url_ = text;
    valid_ = true;
}
