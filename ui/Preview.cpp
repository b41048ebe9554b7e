#include "ui/Preview.h"

bool Preview::create(HWND parent, Controller& engine) {
    engine_ = &engine;
    WindowClass cls;
    cls.style = CS_DBLCLKS;
    cls.background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    return Window::create(cls, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE,
                          RECT{0, 0, 0, 0}, parent);
}
