// The bottom pane: the focused message's header line and body, in the
// encoding the View menu chose, with a bar listing its attachments.
#pragma once
#include <windows.h>

#include "framework/Window.h"

class Controller;

class Preview : public Window {
public:
    Preview() : Window("Preview") {}
    bool create(HWND parent, Controller& engine);

private:
    Controller* engine_ = nullptr;
};
