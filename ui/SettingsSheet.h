// The "Settings" dialog: five tabs over the checker's settings, the log's
// two options, the tray pictures and each account's sound. OK applies the
// tabs the user looked at, saves the settings and every account's options at
// once; Cancel leaves everything as it was but the tray pictures, which the
// Customize tab changes as soon as they are chosen.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "framework/TabDialog.h"
#include "ui/SettingsPages.h"

class MainWindow;

class SettingsSheet : public TabDialog {
public:
    explicit SettingsSheet(SettingsContext& context);
    SettingsPage& settingsPage(int index) const { return *pages_[static_cast<size_t>(index)]; }
    // True once OK found a value the user changed.
    bool changed() const { return changed_; }

private:
    void onOK() override;
    void onCommand(UINT code, UINT id, HWND control) override;

    SettingsContext& context_;
    std::vector<std::unique_ptr<SettingsPage>> pages_;
    bool changed_ = false;
};

// The Settings command: the dialog, modal to the main window, and what the
// main window shows changed after OK (the tray, the lists' font).
void runSettingsSheet(MainWindow& window);
