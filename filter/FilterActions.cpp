#include "filter/FilterActions.h"

#include "message/Message.h"

ActionHost& systemActionHost() {
    static ActionHost host;
    return host;
}

std::string percentEncode(std::string_view value) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (unsigned char c : value) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string reportUrl(std::string_view base, std::string_view to, std::string_view cc,
                      std::string_view bcc, std::string_view subject, std::string_view body) {
    std::string url(base);
    url += "?to=" + percentEncode(to);
    url += "&cc=" + percentEncode(cc);
    url += "&bcc=" + percentEncode(bcc);
    url += "&subject=" + percentEncode(subject);
    url += "&emailbody=" + percentEncode(body);
    return url;
}

std::string reportUrl(std::string_view base, const Message& m) {
    return reportUrl(base, m.to(), m.cc(), m.bcc(), m.subject(), m.body());
}

std::string sampleReportUrl(std::string_view base) {
    return reportUrl(base, "to@example.com", "cc@example.com", "bcc@example.com", "TestSubject",
                     "TestMessageBody");
}
