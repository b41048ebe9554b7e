#include "core/Settings.h"

#include "core/MailClient.h"
#include "core/Platform.h"
#include "core/Registry.h"

const char* const Settings::kIconValues[IconSlots::Count] = {"NormalIconPath", "CheckIconPath", "ErrorIconPath",
                                                              "CheckErrorIconPath"};

namespace {

// Booleans and the one-or-zero numbers: true exactly when the value is 1; a
// missing value reads as false.
bool readFlag(const RegKey& key, const char* name) {
    uint32_t v = 0;
    return key.readNumber(name, v) && v == 1;
}

}  // namespace

Settings::Settings(Registry& registry, IconSlots* icons) : Settings(registry, icons, Keys{}) {}

Settings::Settings(Registry& registry, IconSlots* icons, Keys keys)
    : registry_(registry), icons_(icons), keys_(std::move(keys)) {
    load();
}

Settings::~Settings() { save(); }

void Settings::load() {
    RegKey key;
    if (!key.openOrCreate(registry_, kRegCurrentUser, keys_.settings, RegAccess::Read)) return;

    key.readNumber("ViewAutoSelect", ViewAutoSelect);
    key.readNumber("ViewCharset", ViewCharset);

    MailClient.clear();
    key.readString("MailClient", MailClient);
    if (MailClient.empty()) MailClient = findDefaultMailClient(registry_);

    RunMailerAfterNewMail = readFlag(key, "RunMailerAfterNewMail");
    WinStartup = readFlag(key, "WinStartup");
    HideStart = readFlag(key, "HideStart");

    uint32_t inet = 0;
    InetConnectionType = key.readNumber("InetConnectionType", inet) ? (inet == 1 ? 0 : 1) : 0;

    key.readBinary("MainWindowPlacement", MainWindowPlacement.data(), MainWindowPlacement.size());
    PlaySound = readFlag(key, "PlaySound");
    Repeat = readFlag(key, "Repeat");
    RepeatWhenWindowIsOpen = readFlag(key, "RepeatWhenWindowIsOpen");

    SoundFile.clear();
    key.readString("SoundFile", SoundFile);
    if (SoundFile.empty()) SoundFile = programDirectory() + "kestrix.wav";

    FlashIcon = readFlag(key, "FlashIcon");
    ShowChecking = readFlag(key, "ShowChecking");
    ErrorIcon = readFlag(key, "ErrorIcon");
    ShowNumberAllMsgs = readFlag(key, "ShowNumberAllMsgs");
    DontCalcDeleted = readFlag(key, "DontCalcDeleted");
    ShowTips = readFlag(key, "ShowTips");

    for (int slot = 0; slot < IconSlots::Count; ++slot) {
        std::string path;
        key.readString(kIconValues[slot], path);
        iconValues_[slot] = path;
        if (icons_ && !path.empty() && path != "Default")
            icons_->loadIconFile(static_cast<IconSlots::Slot>(slot), path);
    }

    key.readBinary("Font", Font.data(), Font.size());
    LeftMouseButtonDoubleClickAction = readFlag(key, "LeftMouseButtonDoubleClickAction") ? 1 : 0;
    uint32_t delay = 0;
    if (key.readNumber("MarkMsgDelay", delay)) MarkMsgDelay = static_cast<int32_t>(delay);
}

void Settings::save() {
    RegKey key;
    if (!key.open(registry_, kRegCurrentUser, keys_.settings, RegAccess::AllAccess) &&
        !key.create(registry_, kRegCurrentUser, keys_.settings, RegAccess::AllAccess))
        return;

    key.writeNumber("ViewAutoSelect", ViewAutoSelect);
    key.writeNumber("ViewCharset", ViewCharset);
    key.writeNumber("WinStartup", WinStartup);
    key.writeNumber("HideStart", HideStart);
    key.writeNumber("RunMailerAfterNewMail", RunMailerAfterNewMail);
    key.writeString("MailClient", MailClient);
    key.writeNumber("InetConnectionType", InetConnectionType == 0 ? 1 : 0);
    key.writeBinary("MainWindowPlacement", MainWindowPlacement.data(), MainWindowPlacement.size());
    key.writeNumber("PlaySound", PlaySound);
    key.writeNumber("Repeat", Repeat);
    key.writeString("SoundFile", SoundFile);
    key.writeNumber("RepeatWhenWindowIsOpen", RepeatWhenWindowIsOpen);
    key.writeNumber("FlashIcon", FlashIcon);
    key.writeNumber("ShowChecking", ShowChecking);
    key.writeNumber("ErrorIcon", ErrorIcon);
    key.writeNumber("ShowNumberAllMsgs", ShowNumberAllMsgs);
    key.writeNumber("DontCalcDeleted", DontCalcDeleted);
    key.writeNumber("ShowTips", ShowTips);
    for (int slot = 0; slot < IconSlots::Count; ++slot) {
        auto s = static_cast<IconSlots::Slot>(slot);
        std::string value;
        if (icons_)
            value = icons_->iconFromFile(s) ? icons_->iconPath(s) : "Default";
        else
            value = iconValues_[slot].empty() ? "Default" : iconValues_[slot];
        key.writeString(kIconValues[slot], value);
    }
    key.writeBinary("Font", Font.data(), Font.size());
    key.writeNumber("LeftMouseButtonDoubleClickAction", LeftMouseButtonDoubleClickAction == 1 ? 1 : 0);
    key.writeNumber("MarkMsgDelay", static_cast<uint32_t>(MarkMsgDelay));
    key.close();

    RegKey ssaver;
    if (ssaver.open(registry_, kRegCurrentUser, keys_.ssaver, RegAccess::AllAccess)) ssaver.deleteValue("MailInfo");
}
