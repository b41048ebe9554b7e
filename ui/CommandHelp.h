// The help texts of the commands: the tooltip of a toolbar button and the
// status-bar text of a menu item, as message-table ids (0: none).
#pragma once
#include <cstdint>

struct CommandHelp {
    uint32_t tooltip;
    uint32_t status;
};

CommandHelp commandHelp(unsigned command);
