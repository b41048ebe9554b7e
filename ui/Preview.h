// The bottom pane: the focused message's header line and body, in the
// encoding the View menu chose, with a bar listing its attachments. It keeps
// copies of what it shows, never the message itself.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Window.h"

class Controller;

// What the preview shows of one message, copied under the account's lock.
struct PreviewContent {
    std::string from, to, subject;
    std::string body;
    std::string charset;  // the message's own, for Auto-Select
    std::vector<std::string> attachmentNames;

    bool operator==(const PreviewContent&) const = default;
};

class Preview : public Window {
public:
    Preview() : Window("Preview") {}
    bool create(HWND parent, Controller& engine);
    void setFont(HFONT font);

    // Shows a message; the body is recoded for the current View > Encoding.
    // The same message again (a check that found it unchanged) leaves the
    // view, and where the user scrolled it, as it is.
    void show(PreviewContent content);
    // Shows nothing.
    void clear();
    // The body again after the encoding changed.
    void recode();

    // What is shown, for tests: the header line and the body as displayed.
    std::string headerText() const;
    std::string bodyText() const;
    bool hasAttachmentBar() const { return bar_ != nullptr; }

private:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void layout();
    int stripHeight() const;
    void showAttachmentBar(bool on);
    void attachmentMenu();

    Controller* engine_ = nullptr;
    PreviewContent content_;
    bool showing_ = false;
    HWND header_ = nullptr;
    HWND body_ = nullptr;
    HWND bar_ = nullptr;  // while the message has attachments
    HFONT font_ = nullptr;
    ImageListHandle barImages_;
};
