#include "notify/Tray.h"

#include <shellapi.h>

#include <cstring>

#include "core/MessageText.h"
#include "framework/Dpi.h"
#include "framework/Framework.h"
#include "mail/Account.h"
#include "resources/resource.h"

namespace {

constexpr UINT kTimer = 1;
constexpr UINT kTickMs = 500;

// The tray icon files the settings keep; a slot keeps its built-in icon.
class BuiltInSlots : public IconSlots {
public:
    void loadIconFile(Slot, const std::string&) override {}
    bool iconFromFile(Slot) const override { return false; }
    std::string iconPath(Slot) const override { return {}; }
};

BuiltInSlots gSlots;

}  // namespace

UINT Tray::taskbarCreated() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

Tray::Tray(TrayHost& host) : host_(host) {}

Tray::~Tray() = default;

IconSlots& Tray::iconSlots() { return gSlots; }

bool Tray::notify(DWORD action) {
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = host_.window();
    data.uID = kIconId;
    if (action != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kCallback;
        data.hIcon = icon_.get();
        std::strncpy(data.szTip, "Kestrix", sizeof data.szTip - 1);
    }
    return Shell_NotifyIconA(action, &data) != FALSE;
}

void Tray::start() {
    UINT dpi = windowDpi(host_.window());
    icon_.reset(static_cast<HICON>(LoadImageA(appInstance(), MAKEINTRESOURCEA(IDI_TRAY_NORMAL), IMAGE_ICON,
                                              systemMetric(SM_CXSMICON, dpi), systemMetric(SM_CYSMICON, dpi), 0)));
    added_ = notify(NIM_ADD);
    if (!running_) {
        running_ = true;
        SetTimer(host_.window(), kTimer, kTickMs, nullptr);
    }
}

void Tray::stop() {
    if (running_) {
        running_ = false;
        KillTimer(host_.window(), kTimer);
    }
    if (added_) {
        notify(NIM_DELETE);
        added_ = false;
    }
}

void Tray::refresh() {
    if (added_) notify(NIM_MODIFY);
}

void Tray::onTimer() {}

void Tray::onCallback(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDBLCLK)
        PostMessageA(host_.window(), WM_COMMAND, host_.windowOpen() ? ID_HIDE : ID_OPEN, 0);
}

void Tray::onTaskbarCreated() { added_ = notify(NIM_ADD); }

void Tray::setSuspended(bool) {}

void Tray::toggleNotification() {}

void Tray::newMailFound(Account&) {}

void Tray::runMailer() {}

Account* Tray::accountForCommand(UINT) const { return nullptr; }
