// A controller view that draws nothing and declines every deletion question:
// for tests that drive the engine without a main window.
#pragma once
#include "mail/Controller.h"

class NoView : public ControllerView {
public:
    void accountChanged(uint32_t) override {}
    void newMailFound(uint32_t) override {}
    bool confirmDeletion(uint32_t, CheckWait&) override { return false; }
    void runMailer() override {}
};
