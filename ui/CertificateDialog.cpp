#include "ui/CertificateDialog.h"

#include "core/MessageText.h"
#include "mail/TlsTrust.h"
#include "resources/resource.h"

CertificateDialog::CertificateDialog(std::string server, std::string problem, std::string fingerprint)
    : Dialog(IDD_CERTIFICATE, "Certificate"),
      server_(std::move(server)),
      problem_(std::move(problem)),
      fingerprint_(std::move(fingerprint)) {}

bool CertificateDialog::onInit() {
    Sha256Digest digest{};
    std::string shown = parseFingerprint(fingerprint_, digest) ? fingerprintText(digest) : fingerprint_;
    // The edit control breaks lines only at CR LF.
    std::string details = formatMessage(MSG_CertDetails, {server_, problem_, shown});
    std::string text;
    for (char c : details) {
        if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
        text += c;
    }
    setItemText(IDC_CERT_DETAILS, text);
    return true;
}
