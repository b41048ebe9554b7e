// "Untrusted certificate": a check refused the server's certificate; the
// user may trust it (by its SHA-256) for that account. Trust ends the dialog
// with IDOK.
#pragma once
#include <string>

#include "framework/Dialog.h"

class CertificateDialog : public Dialog {
public:
    // `server` and `problem` (the check's error text) as shown; `fingerprint`
    // the certificate's SHA-256 in hex.
    CertificateDialog(std::string server, std::string problem, std::string fingerprint);

private:
    bool onInit() override;

    std::string server_, problem_, fingerprint_;
};
