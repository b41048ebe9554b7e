// A toolbar whose buttons the user may rearrange (the system's customise
// dialog), with its layout kept in a registry value by the control's own save
// and restore. The buttons known at creation are the ones the customise
// dialog offers; the built-in layout is saved first, so Reset brings it back.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Window.h"

struct ToolbarButton {
    int command = 0;  // 0: a separator
    int image = 0;
    BYTE state = TBSTATE_ENABLED;
    BYTE style = BTNS_BUTTON;
    std::string text;
};

class Toolbar : public Control {
public:
    // Creates the control as a child of `parent`.
    bool create(HWND parent, DWORD style, DWORD exStyle, UINT id);
    // Puts the buttons on the bar, in order, and remembers them as the set
    // the customise dialog offers. The image lists stay the caller's.
    void setButtons(const std::vector<ToolbarButton>& buttons, HIMAGELIST normal, HIMAGELIST disabled);

    // The layout's registry place: `key` below HKEY_CURRENT_USER, with the
    // built-in layout saved as `original` and the user's as `current`.
    void setLayoutKey(std::string key, std::string original, std::string current);
    // Saves the built-in layout, then restores the user's when one is stored.
    void saveOriginalAndRestore();
    bool saveLayout(const std::string& value);
    bool restoreLayout(const std::string& value);
    void customize();

    int buttonCount() const;
    // The button at `index` as it is now (command 0 for a separator).
    ToolbarButton button(int index) const;
    void enableButton(int command, bool on);
    RECT buttonRect(int command) const;

    bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    const ToolbarButton* known(int command) const;

    std::vector<ToolbarButton> buttons_;
    std::string key_, original_, current_;
};
