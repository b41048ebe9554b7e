// Identifiers of the checker's resources, controls and commands: one plain
// header for kestrix.rc and for the program code. A number may carry several
// names where dialogs reuse a control id with another meaning.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// --- Dialog templates --------------------------------------------------------
#define IDD_MAIN                    102   // main window; the code creates its children
#define IDD_ACCOUNT_EDIT            103
#define IDD_SETTINGS_SYSTEM         106   // settings tabs: child dialogs inside IDD_SETTINGS
#define IDD_SETTINGS_SOUND          138
#define IDD_SETTINGS_VISUAL         139
#define IDD_SETTINGS_CUSTOMIZE      140
#define IDD_SETTINGS_LOG            258
#define IDD_SETTINGS                125
#define IDD_ABOUT                   137
#define IDD_HEADER                  160
#define IDD_COLUMNS                 199
#define IDD_CONFIRMATION            200
#define IDD_LOG                     256
#define IDD_TIPS                    260
#define IDD_FIRST_RUN               268
#define IDD_CERTIFICATE             290   // "Untrusted certificate": trust a server certificate?

// Wizard pages, in the order of the long wizard (the short one uses name,
// server, login).
#define IDD_WIZ_CHOICE              269
#define IDD_WIZ_IMPORT              270
#define IDD_WIZ_NAME                163
#define IDD_WIZ_SERVER              195
#define IDD_WIZ_LOGIN               194
#define IDD_WIZ_ANOTHER             271

// "Email Filters": the dialog with its tabs, the pages (tabs inside it) in
// tab order, and the editors they open.
#define IDD_FILTERS                 236
#define IDD_FILTER_POWER            237
#define IDD_FILTER_FRIENDS          239
#define IDD_FILTER_FROM             107
#define IDD_FILTER_SUBJECT          175
#define IDD_FILTER_TOCC             181
#define IDD_FILTER_SPAMMERS         176
#define IDD_FILTER_SIZE             192
#define IDD_FILTER_VIRUS            272
#define IDD_WORD_FILTER_EDIT        179
#define IDD_SIZE_FILTER_EDIT        198
#define IDD_FRIEND_EDIT             240
#define IDD_SPAMMER_EDIT            178
#define IDD_POWER_FILTER_EDIT       219

// --- Menus -------------------------------------------------------------------
#define IDM_TRAY                    109   // popup 0: the tray menu; item 1 is the "Check" submenu
#define IDM_ACCOUNTS                126   // popup 0: inserted into the menu bar at position 2
#define IDM_MAIN                    144   // menu bar: File, View, Tools, Help
#define IDM_MESSAGES                159   // popup 0: inserted at position 3; also the list's context menu
#define IDM_ACCOUNTS_CONTEXT        163   // popup 0: the accounts list's context menu
#define IDM_ATTACHMENTS             218   // popup 0: refilled with the attachment names

// Positions the code looks up by place rather than by command.
#define IDM_POS_MENU_VIEW           1     // in IDM_MAIN
#define IDM_POS_VIEW_ENCODING       3     // in the View menu
#define IDM_POS_TRAY_CHECK          1     // in IDM_TRAY's popup

// --- Accelerator tables ------------------------------------------------------
#define IDA_MESSAGES                184   // the messages list and the confirmation list
#define IDA_MAIN                    185
#define IDA_ACCOUNTS                187

// --- Toolbar -----------------------------------------------------------------
// Buttons and separators in order; the n-th button uses image n of the strips.
#define IDR_TOOLBAR                 138

// --- Icons -------------------------------------------------------------------
// Every icon holds 16, 20, 24 and 32 px images (32-bit with alpha); the
// application and About icons also 40, 48 and 64 px.
#define IDI_APP                     128   // application: window and program file icon
#define IDI_TRAY_NORMAL             105   // tray slots
#define IDI_TRAY_FLASH              108
#define IDI_TRAY_ERROR              132
#define IDI_TRAY_CHECK              134
#define IDI_TRAY_CHECK_ERROR        136
#define IDI_ABOUT                   134
#define IDI_ACCOUNT_CHECKING        188   // account rows
#define IDI_ACCOUNT_IDLE            189
#define IDI_ACCOUNT_FAILED          190
#define IDI_ACCOUNT_DISABLED        191
#define IDI_MARK_DELETED            161   // message marks, in image-list order 0..7
#define IDI_MARK_UNCERTAIN          177
#define IDI_MARK_SPAMMER            196
#define IDI_MARK_HIGH               207
#define IDI_MARK_LOW                208
#define IDI_MARK_ATTACHMENT         203
#define IDI_MARK_FRIEND             238
#define IDI_MARK_FILTERED           279   // filtered without a mark (a power filter that only acts)
#define IDI_CERTIFICATE             291

// --- Bitmaps -----------------------------------------------------------------
// 32-bit BI_RGB bitmaps with straight (not premultiplied) alpha in the fourth
// byte, no mask colour. Load them with LR_CREATEDIBSECTION (not
// LR_LOADMAP3DCOLORS or LR_LOADTRANSPARENT, which would spoil the alpha) and
// draw them through an ILC_COLOR32 image list, which blends the alpha; a plain
// BitBlt or HDF_BITMAP would draw the transparent pixels black, so the header
// arrows go into the header's image list (HDF_IMAGE | HDF_BITMAP_ON_RIGHT).
//
// One variant per scale: the ids below are the 100 % variants; the variant
// for step n (1: 125 %, 2: 150 %, 3: 200 %) is id + n * IDB_SCALE_STEP.
// Toolbar strips and sort arrows are 16, 20, 24 and 32 px squares; the
// first-run pictures 48, 60, 72 and 96 px.
#define IDB_SCALE_STEP              1000
#define IDB_TOOLBAR                 245   // ten pictures side by side
#define IDB_TOOLBAR_DISABLED        242
#define IDB_SORT_UP                 280   // ascending (sort order 1)
#define IDB_SORT_DOWN               281   // descending (any other order)
#define IDB_SETUP                   275   // first-run "Setup Email Accounts"
#define IDB_SETUP_HOT               276
#define IDB_LAUNCH_HOT              277   // first-run "Launch the program"
#define IDB_LAUNCH                  278

#define IDB_TOOLBAR_125             1245
#define IDB_TOOLBAR_150             2245
#define IDB_TOOLBAR_200             3245
#define IDB_TOOLBAR_DISABLED_125    1242
#define IDB_TOOLBAR_DISABLED_150    2242
#define IDB_TOOLBAR_DISABLED_200    3242
#define IDB_SORT_UP_125             1280
#define IDB_SORT_UP_150             2280
#define IDB_SORT_UP_200             3280
#define IDB_SORT_DOWN_125           1281
#define IDB_SORT_DOWN_150           2281
#define IDB_SORT_DOWN_200           3281
#define IDB_SETUP_125               1275
#define IDB_SETUP_150               2275
#define IDB_SETUP_200               3275
#define IDB_SETUP_HOT_125           1276
#define IDB_SETUP_HOT_150           2276
#define IDB_SETUP_HOT_200           3276
#define IDB_LAUNCH_HOT_125          1277
#define IDB_LAUNCH_HOT_150          2277
#define IDB_LAUNCH_HOT_200          3277
#define IDB_LAUNCH_125              1278
#define IDB_LAUNCH_150              2278
#define IDB_LAUNCH_200              3278

// --- Strings -----------------------------------------------------------------
// A toolbar button's text is the string whose id is its command id.
#define IDS_ACCOUNTS_WIZARD         40016

// --- Commands (menus, toolbar, accelerators, tray) ---------------------------
#define ID_CONTENTS                 9
#define ID_ABOUT                    10
#define ID_HIDE                     1000
#define ID_NEW_ACCOUNT              1001
#define ID_REMOVE_ACCOUNT           1004
#define ID_EDIT_ACCOUNT             1005
#define ID_CHECK                    1006
#define ID_SETTINGS                 1010
#define ID_RUN_MAILER               1020
#define ID_IMPORT_ACCOUNTS          1119
#define ID_OPEN                     40001
#define ID_CHECK_ALL                40011
#define ID_EXIT                     40013
#define ID_MOVE_UP                  40014
#define ID_MOVE_DOWN                40015
#define ID_VIEW_ERRORS              40019
#define ID_MSG_DELETE               40021
#define ID_MSG_UNDELETE             40022
#define ID_MSG_SHOW_HEADER          40023
#define ID_MSG_SELECT_ALL           40025
#define ID_DISABLE                  40028   // reads "Enable" for a disabled account
#define ID_FILTER                   40029
#define ID_MSG_ADD_FROM             40030
#define ID_MSG_ADD_SUBJECT          40031
#define ID_MSG_ADD_SPAMMER          40032
#define ID_DELETE_ALL               40033
#define ID_NOTIFICATION             40034
#define ID_MSG_NO_ACTION            40035   // Ctrl+L in the messages list does nothing
#define ID_MSG_MARK_READ            40036
#define ID_MSG_MARK_UNREAD          40037
#define ID_ACCOUNT_COLUMNS          40038
#define ID_MESSAGE_COLUMNS          40040
#define ID_ATTACHMENTS              40042   // the preview's attachment button
#define ID_MSG_ADD_POWER            40045
#define ID_DEL_MSGS                 40046
#define ID_MSG_ADD_FRIEND           40048
#define ID_STOP                     40051
#define ID_SHOW_LOG                 40052
#define ID_REPLY                    40053   // toolbar
#define ID_MSG_REPLY                40054   // messages menu and Ctrl+R
#define ID_NEW_MESSAGE              40055
#define ID_SAVE_AS                  40056
#define ID_CUSTOMIZE_TOOLBAR        40059
#define ID_ENCODINGS                40062   // toolbar drop-down with the Encoding menu
#define ID_CHARSET_CP1251           40064   // "Cyrillic (Windows)"
#define ID_CHARSET_KOI8R            40065   // "Cyrillic (KOI8-R)"
#define ID_CHARSET_CP1252           40066   // "Western European (Windows)"
#define ID_CHARSET_AUTO             40067   // "Auto-Select"
// The tray menu's account items, one id each from this range (not a
// resource: the menu is filled with the accounts while the program runs).
#define ID_TRAY_ACCOUNT_FIRST       0xE000
#define ID_TRAY_ACCOUNT_LAST        0xEFFF

// --- Main window ---------------------------------------------------------------
#define IDC_ACCOUNTS_LIST           1012
#define IDC_MESSAGES_LIST           1051

// --- First-run choice (owner-drawn buttons; the code draws the captions) -----
#define IDC_SETUP_ACCOUNTS          1     // returns 1
#define IDC_LAUNCH_PROGRAM          2     // returns 2

// --- Account fields: edit dialog and wizard pages ----------------------------
#define IDC_ACCOUNT_NAME            1013
#define IDC_USER                    1014
#define IDC_PASSWORD                1015
#define IDC_SERVER                  1016
#define IDC_PORT                    1017
#define IDC_INTERVAL                1018
#define IDC_TIMEOUT                 1019
#define IDC_LINES                   1020
#define IDC_DELETION                1087
#define IDC_SECURE_AUTH             1058
#define IDC_CHECK_MAILBOX_SIZE      1107  // enables 1113, 1110, 1114..1117, 1109, 1111, 1112
#define IDC_CHECK_MANUALLY          1108
#define IDC_LAUNCH_FILE             1109
#define IDC_MAILBOX_BOUND           1110
#define IDC_LAUNCH_BROWSE           1111
#define IDC_LAUNCH_TEST             1112
#define IDC_BOUND_LABEL             1113
#define IDC_MAILBOX_BOUND_SPIN      1114  // no buddy arithmetic: the code steps 1110 itself
#define IDC_BOUND_UNIT              1115
#define IDC_LAUNCH_THEN             1116
#define IDC_LAUNCH_LABEL            1117
// Secure connection: a radio group.
#define IDC_SECURITY_GROUP          1300
#define IDC_SECURITY_NONE           1301
#define IDC_SECURITY_STLS           1302
#define IDC_SECURITY_TLS            1303
#define IDC_SECURITY_NOTE           1304  // the wizard's server page: what to choose
// One line that says why OK or Next is disabled (account dialog, name page,
// filter editors).
#define IDC_VALIDATION_NOTE         1340

// Wizard pages.
#define IDC_WIZ_CREATE_NEW          1001
#define IDC_WIZ_IMPORT              1119
#define IDC_IMPORT_LIST             1169
#define IDC_ANOTHER_YES             1170
#define IDC_ANOTHER_NO              1171

// --- Settings ------------------------------------------------------------------
#define IDC_SETTINGS_TABS           1042
#define IDC_SETTINGS_HELP           3
// System
#define IDC_WIN_STARTUP             1022
#define IDC_START_MINIMIZED         1023
#define IDC_MAIL_CLIENT_BROWSE      1029
#define IDC_MAIL_CLIENT             1030
#define IDC_MAIL_CLIENT_FIND        1031
#define IDC_RUN_MAILER_AFTER        1041
#define IDC_LAN_CONNECTION          1049
#define IDC_DIALUP_CONNECTION       1050
// Sound
#define IDC_PLAY_SOUND              1032
#define IDC_REPEAT_SOUND            1033
#define IDC_PLAY_WHEN_OPEN          1034
#define IDC_SOUND_BROWSE            1036
#define IDC_SOUND_FILE              1037
#define IDC_SOUND_TEST              1038
#define IDC_SOUND_ACCOUNT           1061
// Visual effects
#define IDC_FLASH_ICON              1034
#define IDC_ERROR_ICON              1035
#define IDC_SHOW_CHECKING           1038
#define IDC_DONT_CALC_DELETED       1058
#define IDC_CALC_UNREAD             1118
#define IDC_CALC_ALL                1119
// Customize
#define IDC_ICON_NORMAL             1043
#define IDC_ICON_CHECK              1044
#define IDC_ICON_ERROR              1045
#define IDC_ICON_CHECK_ERROR        1046
#define IDC_RESTORE_ICONS           1047
#define IDC_CHOOSE_FONT             1048
#define IDC_MARK_READ_AFTER         1058
#define IDC_DBLCLICK_CHECK_ALL      1062
#define IDC_DBLCLICK_OPEN           1063
#define IDC_SHOW_TIPS               1166
#define IDC_MARK_READ_DELAY         1175
// Log
#define IDC_WRITE_LOG               1162
#define IDC_LOG_FILE                1163
#define IDC_LOG_BROWSE              1164

// --- Filter sheet and editors -------------------------------------------------
#define IDC_FILTER_HELP             1066  // the sheet's Help button
#define IDC_FILTER_TABS             1199
// Controls every page uses for what it has of them.
#define IDC_FILTER_LIST             1200
#define IDC_FILTER_ADD              1201
#define IDC_FILTER_EDIT             1202
#define IDC_FILTER_DELETE           1203
#define IDC_FILTER_IMPORT           1204
#define IDC_FILTER_MOVE_UP          1205
#define IDC_FILTER_MOVE_DOWN        1206
#define IDC_FILTER_SHOW             1207
#define IDC_FILTER_ENABLE           1208  // "Checking the sender in ..." (Friends, Spammers)
#define IDC_FILTER_NOTE             1209  // why a page is read-only; empty otherwise
// Word filter editor
#define IDC_WORD_EXPLAIN            1210
#define IDC_WORD_TEXT               1211
#define IDC_WORD_USE_CASE           1212
#define IDC_MARK_DELETED            1213  // also in the size editor
#define IDC_MARK_UNCERTAIN          1214
#define IDC_WORD_NOTE               1215
// Size filter editor
#define IDC_SIZE_LARGER             1216
#define IDC_SIZE_LARGER_KB          1217
#define IDC_SIZE_LARGER_SPIN        1218
#define IDC_SIZE_SMALLER            1219
#define IDC_SIZE_SMALLER_KB         1220
#define IDC_SIZE_SMALLER_SPIN       1221
// Friend and spammer editors
#define IDC_ADDRESS                 1222
// Power filter editor: seven condition rows. Each text row is a check box,
// a condition list, a text and "Case?", four ids apart; Priority has no text.
#define IDC_PF_NAME                 1230
#define IDC_PF_ENABLED              1231
#define IDC_PF_ROW_STEP             4
#define IDC_PF_FROM                 1232
#define IDC_PF_FROM_COND            1233
#define IDC_PF_FROM_TEXT            1234
#define IDC_PF_FROM_CASE            1235
#define IDC_PF_SUBJECT              1236
#define IDC_PF_SUBJECT_COND         1237
#define IDC_PF_SUBJECT_TEXT         1238
#define IDC_PF_SUBJECT_CASE         1239
#define IDC_PF_TOCC                 1240
#define IDC_PF_TOCC_COND            1241
#define IDC_PF_TOCC_TEXT            1242
#define IDC_PF_TOCC_CASE            1243
#define IDC_PF_ATTACH               1244
#define IDC_PF_ATTACH_COND          1245
#define IDC_PF_ATTACH_TEXT          1246
#define IDC_PF_ATTACH_CASE          1247
#define IDC_PF_BODY                 1248
#define IDC_PF_BODY_COND            1249
#define IDC_PF_BODY_TEXT            1250
#define IDC_PF_BODY_CASE            1251
#define IDC_PF_HEADER               1252
#define IDC_PF_HEADER_COND          1253
#define IDC_PF_HEADER_TEXT          1254
#define IDC_PF_HEADER_CASE          1255
#define IDC_PF_PRIORITY             1256
#define IDC_PF_PRIORITY_LIST        1257
#define IDC_PF_SMALLER              1258
#define IDC_PF_SMALLER_KB           1259
#define IDC_PF_SMALLER_SPIN         1260
#define IDC_PF_LARGER               1261
#define IDC_PF_LARGER_KB            1262
#define IDC_PF_LARGER_SPIN          1263
#define IDC_PF_MARK                 1264
#define IDC_PF_RUN_MAILER           1265
#define IDC_PF_MARK_READ            1266
#define IDC_PF_LAUNCH               1267
#define IDC_PF_LAUNCH_PATH          1268
#define IDC_PF_LAUNCH_BROWSE        1269
#define IDC_PF_LAUNCH_TEST          1270
#define IDC_PF_SOUND                1271
#define IDC_PF_SOUND_FILE           1272
#define IDC_PF_SOUND_BROWSE         1273
#define IDC_PF_SOUND_TEST           1274
#define IDC_PF_URL                  1275
#define IDC_PF_URL_TEXT             1276
#define IDC_PF_URL_TEST             1277
#define IDC_PF_HELP                 1278

// --- Columns dialog -------------------------------------------------------------
#define IDC_COLUMN_LIST             20000
#define IDC_COLUMN_MOVE_UP          1119
#define IDC_COLUMN_MOVE_DOWN        20002
#define IDC_COLUMN_SHOW             20003
#define IDC_COLUMN_HIDE             20004
#define IDC_COLUMN_RESET            20005
#define IDC_COLUMN_WIDTH            20006

// --- Viewers and small dialogs ----------------------------------------------------
#define IDC_HEADER_TEXT             1054
#define IDC_LOG_LIST                1161
#define IDC_TIP_TEXT                1098
#define IDC_TIPS_HEADING            1122
#define IDC_NEXT_TIP                1165
#define IDC_CONFIRM_TEXT            1120
#define IDC_CONFIRM_LIST            1147
#define IDC_ABOUT_PRODUCT           1105
#define IDC_ABOUT_VERSION           1106
#define IDC_ABOUT_LEGAL             1107
#define IDC_ABOUT_HOMEPAGE          1108
#define IDC_ABOUT_SUPPORT           1109
// Untrusted certificate: IDOK trusts it; Cancel is the default button.
#define IDC_CERT_ICON               1320
#define IDC_CERT_INTRO              1321
#define IDC_CERT_DETAILS            1322  // server, reason and SHA-256 fingerprint
#define IDC_CERT_QUESTION           1323
