// The main window's toolbar: the buttons of the toolbar resource, their
// texts from the string table, pictures for the window's DPI, tooltips and
// status-bar help from the message table, and the layout the user chose.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Handles.h"
#include "framework/Toolbar.h"

class MainToolbar : public Toolbar {
public:
    // Creates the bar, saves the built-in layout and restores the user's.
    bool create(HWND parent, UINT dpi);
    // New pictures after a DPI change.
    void setDpi(UINT dpi);
    // The status-bar text of the button under the mouse ("" when none).
    std::string hotText(const NMTBHOTITEM& hot) const;

    // Fills a button's tooltip (the window passes the request on: it comes
    // from the toolbar's tooltip control, not from the toolbar).
    void tooltip(NMTTDISPINFOA& info);

private:
    void loadImages(UINT dpi);

    ImageListHandle images_;
    ImageListHandle disabled_;
    std::string tip_;  // the text a tooltip asked for last
};
