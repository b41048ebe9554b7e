// Native builds have no dial-up line to manage.
#include "mail/InternetConnection.h"

namespace {
class NoDialer : public Dialer {
public:
    bool available() const override { return false; }
    bool connectedState(uint32_t& flags) override {
        flags = 0;
        return true;
    }
    bool autodial() override { return false; }
    void hangup() override {}
};
}  // namespace

Dialer& systemDialer() {
    static NoDialer dialer;
    return dialer;
}
