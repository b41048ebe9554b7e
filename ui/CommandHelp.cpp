#include "ui/CommandHelp.h"

#include "core/MessageText.h"
#include "resources/resource.h"

namespace {

struct Row {
    unsigned command;
    CommandHelp help;
};

const Row kHelp[] = {
    {ID_NEW_ACCOUNT, {MSG_TipNewAccount, MSG_StatusNewAccount}},
    {ID_REMOVE_ACCOUNT, {MSG_TipRemoveAccount, MSG_StatusRemoveAccount}},
    {ID_EDIT_ACCOUNT, {MSG_TipEditAccount, MSG_StatusEditAccount}},
    {ID_CHECK, {MSG_TipCheckAccount, MSG_StatusCheckAccount}},
    {ID_SETTINGS, {MSG_TipSettings, MSG_StatusSettings}},
    {ID_RUN_MAILER, {MSG_TipRunMailer, MSG_StatusRunMailer}},
    {ID_MOVE_UP, {MSG_TipMoveUp, MSG_StatusMoveUp}},
    {ID_MOVE_DOWN, {MSG_TipMoveDown, MSG_StatusMoveDown}},
    {ID_HIDE, {0, MSG_StatusHide}},
    {ID_VIEW_ERRORS, {0, MSG_StatusViewErrors}},
    {ID_CHECK_ALL, {MSG_TipCheckAll, MSG_StatusCheckAll}},
    {ID_MSG_DELETE, {0, MSG_StatusMarkDeleted}},
    {ID_MSG_UNDELETE, {0, MSG_StatusUndelete}},
    {ID_MSG_SHOW_HEADER, {0, MSG_StatusShowHeader}},
    {ID_FILTER, {MSG_TipFilter, MSG_StatusFilter}},
    {ID_DISABLE, {0, MSG_StatusDisable}},
    {ID_DELETE_ALL, {0, MSG_StatusDeleteAll}},
    {ID_MSG_SELECT_ALL, {0, MSG_StatusSelectAll}},
    {ID_MSG_ADD_FROM, {0, MSG_StatusAddFrom}},
    {ID_MSG_ADD_SUBJECT, {0, MSG_StatusAddSubject}},
    {ID_MSG_ADD_SPAMMER, {0, MSG_StatusAddSpammer}},
    {ID_STOP, {MSG_TipStop, MSG_TipStop}},
    {ID_NEW_MESSAGE, {MSG_TipNewMessage, MSG_TipNewMessage}},
    {ID_REPLY, {MSG_TipReply, MSG_TipReply}},
    {ID_DEL_MSGS, {MSG_TipDeleteMessages, MSG_TipDeleteMessages}},
};

}  // namespace

CommandHelp commandHelp(unsigned command) {
    for (const Row& row : kHelp)
        if (row.command == command) return row.help;
    return {0, 0};
}
