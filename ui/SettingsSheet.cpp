#include "ui/SettingsSheet.h"

#include <mmsystem.h>

#include "core/EventLog.h"
#include "framework/HtmlHelp.h"
#include "mail/AccountStore.h"
#include "mail/Controller.h"
#include "notify/StartupShortcut.h"
#include "resources/resource.h"
#include "ui/MainWindow.h"

namespace {
// Tabs by index in the order they are applied: Customize, Sound, System,
// Visual effects, Log.
const int kApplyOrder[] = {3, 1, 0, 2, 4};
}  // namespace

SettingsSheet::SettingsSheet(SettingsContext& context)
    : TabDialog(IDD_SETTINGS, IDC_SETTINGS_TABS, "SettingsSheet"), context_(context), pages_(makeSettingsPages(context)) {
    for (auto& page : pages_) addPage(*page);
}

void SettingsSheet::onOK() {
    for (int index : kApplyOrder) changed_ |= settingsPage(index).apply();
    Controller& engine = context_.engine;
    // Saved at once, not only at exit, so that nothing confirmed is lost.
    engine.settings().save();
    eventLog().save(engine.registry());
    for (const auto& account : engine.accounts()) saveOptions(engine.registry(), *account);
    end(IDOK);
}

void SettingsSheet::onCommand(UINT code, UINT id, HWND control) {
    if (id == IDC_SETTINGS_HELP && current() >= 0) showHelp(hwnd(), settingsPage(current()).helpTopic());
    else TabDialog::onCommand(code, id, control);
}

void runSettingsSheet(MainWindow& window) {
    Tray& tray = window.tray();
    SettingsContext context{
        window.engine(),
        tray.iconSlots(),
        [&tray] { tray.refresh(); },
        // In the background: the dialog stays usable while a long sound plays.
        [](const std::string& file) { sndPlaySoundA(file.c_str(), SND_ASYNC); },
        [](bool on) { return on ? createStartupShortcut() : removeStartupShortcut(); },
    };
    SettingsSheet sheet(context);
    if (sheet.runModal(window.hwnd()) == IDOK) window.settingsApplied();
}
