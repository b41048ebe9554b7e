// The small windows that show text: the header viewer, the log viewer, the
// tips and the About box. Each is modal over the window it is given.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/ListView.h"

class Settings;

// A message's header as it came, read-only. It holds its own copy: the
// message may be gone after a check while the viewer is open.
class HeaderViewer : public Dialog {
public:
    explicit HeaderViewer(std::string text);

private:
    bool onInit() override;
    std::string text_;
};

// The event log's lines in memory, oldest first, and every line written
// while the viewer is open, looked for once a second.
class LogViewer : public Dialog {
public:
    LogViewer();
    // Appends the lines written since the last look.
    void fetch();
    const ListView& list() const { return list_; }

    // The viewer keeps at most this many lines; the oldest go first.
    static constexpr int kMaxRows = 20000;

private:
    bool onInit() override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void onDestroy() override;

    ListView list_;
    uint64_t seen_ = 0;
};

// A log line as the viewer shows it: without its line end, every control
// character a blank.
std::string logViewerLine(std::string line);

// "Useful Tips": one tip of "tips.txt" at a time, "Next tip", and the
// "Show tips at startup" switch, which changes the setting at once.
class TipsDialog : public Dialog {
public:
    TipsDialog(Settings& settings, std::string path);
    std::string tip() const;

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;
    bool onMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void showNext();

    Settings& settings_;
    std::string path_;
    std::vector<std::string> tips_;
    FontHandle heading_;
};

// A static that acts as a link: a hand over it, underlined while the mouse
// is on it, drawn in the link colour.
class LinkLabel : public Control {
public:
    bool attachLink(HWND label, HFONT normal, HFONT hot);

private:
    bool onReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    HFONT normal_ = nullptr;
    HFONT hot_ = nullptr;
    bool over_ = false;
};

// The program's name, version and legal notice from its version record, and
// the links to the homepage and the support address.
class AboutDialog : public Dialog {
public:
    AboutDialog();

private:
    bool onInit() override;
    void onCommand(UINT code, UINT id, HWND control) override;

    FontHandle underlined_;
    LinkLabel homepage_, support_;
};

void showHeaderViewer(HWND owner, std::string headerText);
void showLogViewer(HWND owner);
void showTips(HWND owner, Settings& settings);
void showAbout(HWND owner);
