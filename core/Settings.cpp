#include "core/Settings.h"

#include "core/MailClient.h"
#include "core/Platform.h"
#include "core/Registry.h"

const char* const Settings::kIconValues[IconSlots::Count] = {"NormalIconPath", "CheckIconPath", "ErrorIconPath",
                                                              "CheckErrorIconPath"};

Settings::Settings(Registry& registry, IconSlots* icons) : Settings(registry, icons, Keys{}) {}

Settings::Settings(Registry& registry, IconSlots* icons, Keys keys)
    : registry_(registry), icons_(icons), keys_(std::move(keys)) {
    load();
}

void Settings::load() {
    RegKey key;
    if (!key.openOrCreate(registry_, kRegCurrentUser, keys_.settings, RegAccess::Read)) return;

    key.readNumber("ViewAutoSelect", ViewAutoSelect);
    key.readNumber("ViewCharset", ViewCharset);

    MailClient.clear();
    key.readString("MailClient", MailClient);
    if (MailClient.empty()) MailClient = findDefaultMailClient(registry_);

    key.readFlag("RunMailerAfterNewMail", RunMailerAfterNewMail, FlagRule::OneIsTrue);
    key.readFlag("WinStartup", WinStartup, FlagRule::OneIsTrue);
    key.readFlag("HideStart", HideStart, FlagRule::OneIsTrue);

    uint32_t inet = 0;
    InetConnectionType = key.readNumber("InetConnectionType", inet) ? (inet == 1 ? 0 : 1) : 0;

    key.readBinary("MainWindowPlacement", MainWindowPlacement.data(), MainWindowPlacement.size());
    key.readFlag("PlaySound", PlaySound, FlagRule::OneIsTrue);
    key.readFlag("Repeat", Repeat, FlagRule::OneIsTrue);
    key.readFlag("RepeatWhenWindowIsOpen", RepeatWhenWindowIsOpen, FlagRule::OneIsTrue);

    SoundFile.clear();
    key.readString("SoundFile", SoundFile);
    if (SoundFile.empty()) SoundFile = programDirectory() + "kestrix.wav";

    key.readFlag("FlashIcon", FlashIcon, FlagRule::OneIsTrue);
    key.readFlag("ShowChecking", ShowChecking, FlagRule::OneIsTrue);
    key.readFlag("ErrorIcon", ErrorIcon, FlagRule::OneIsTrue);
    key.readFlag("ShowNumberAllMsgs", ShowNumberAllMsgs, FlagRule::OneIsTrue);
    key.readFlag("DontCalcDeleted", DontCalcDeleted, FlagRule::OneIsTrue);
    key.readFlag("ShowTips", ShowTips, FlagRule::OneIsTrue);

    for (int slot = 0; slot < IconSlots::Count; ++slot) {
        std::string path;
        key.readString(kIconValues[slot], path);
        iconValues_[slot] = path;
        if (icons_ && !path.empty() && path != "Default")
            icons_->loadIconFile(static_cast<IconSlots::Slot>(slot), path);
    }

    key.readBinary("Font", Font.data(), Font.size());
    bool checkAll = false;
    key.readFlag("LeftMouseButtonDoubleClickAction", checkAll, FlagRule::OneIsTrue);
    LeftMouseButtonDoubleClickAction = checkAll ? 1 : 0;
    uint32_t delay = 0;
    if (key.readNumber("MarkMsgDelay", delay)) MarkMsgDelay = static_cast<int32_t>(delay);
}

void Settings::save() {
    RegKey key;
    if (!key.openForWriting(registry_, kRegCurrentUser, keys_.settings)) return;

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
