// What the tray shows, worked out from one look at every account: the
// totals, the state picture with its count badge, and the mail summary that
// serves as the tooltip and as the screen saver's text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/ProductKey.h"
#include "mail/Account.h"

class Registry;
class Settings;

// One account as the tray sees it at one moment.
struct AccountCounts {
    uint32_t id = 0;
    std::string name;
    AccountState state = AccountState::NotStarted;
    uint32_t unread = 0;    // as presented: 0 before the first good check
    uint32_t messages = 0;
    std::string soundFile;
};

struct MailCounts {
    std::vector<AccountCounts> accounts;  // in list order
    uint32_t unreadTotal = 0;
    uint32_t messageTotal = 0;
    bool checking = false;  // some account is checking or connecting
    bool failed = false;    // some account's last check failed
};

// The totals and the two state flags of `accounts`.
MailCounts countMail(std::vector<AccountCounts> accounts);

// The state pictures, in the order the tray keeps them.
enum class TraySlot { Flash, Normal, CheckError, Error, Check, Count };

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

struct TrayPicture {
    TraySlot slot = TraySlot::Normal;
    bool badge = true;    // false: the state picture alone
    uint32_t count = 0;   // the number on the badge
    uint32_t colour = 0;  // the badge's colour, 0x00BBGGRR
};

// The state picture follows the settings that ask for the checking and the
// error states; the badge's colour follows the accounts' states whatever the
// settings say. A count of 0 is drawn unless the checking state is shown.
TrayPicture trayPicture(const MailCounts& counts, const Settings& settings);

// "<n> new messages", then a line "<name>: <unread>" for every account with
// unread mail, in list order; lines end in a bare line feed, the last in
// none. Never cut.
std::string buildMailSummary(const MailCounts& counts);

// Leaves `summary` for the screen saver in the MailInfo value of `key`
// (under HKEY_CURRENT_USER), creating the key when it is missing. A key
// that can be neither opened nor created is skipped: the next tick tries
// again.
void writeMailSummary(Registry& registry, const std::string& summary, const std::string& key = kSSaverKey);
