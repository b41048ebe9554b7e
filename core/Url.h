// Account addresses of the form scheme "://" user ":" password "@" host path,
// joined from and split into their parts. A user name cannot hold ":"; a
// password may hold ":" and "@" (the host follows the last "@").
#pragma once
#include <string>
#include <string_view>

class Url {
public:
    Url() = default;
    // Joins the five parts; valid when the scheme and host or path are given.
    Url(std::string scheme, std::string user, std::string password, std::string host, std::string path);
    // Splits the text (SetUrl).
    explicit Url(std::string_view text);
    virtual ~Url() = default;

    // Splits `text` into the parts. A text that does not have every part
    // keeps the parts found before the missing one and is not valid; the
    // whole text is kept only when valid. Takes any bytes.
    void SetUrl(std::string_view text);

    const std::string& url() const { return url_; }
    const std::string& scheme() const { return scheme_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    const std::string& host() const { return host_; }
    const std::string& path() const { return path_; }
    bool valid() const { return valid_; }

private:
    void join();

    std::string url_;
    std::string scheme_;
    std::string user_;
    std::string password_;
    std::string host_;
    std::string path_;
    bool valid_ = false;
};
