// Where the checker keeps its registry data (under HKEY_CURRENT_USER).
#pragma once

#define KX_PRODUCT_KEY "SOFTWARE\\Kestrix, Inc.\\Kestrix"

constexpr const char* kProductKey = KX_PRODUCT_KEY;
constexpr const char* kSettingsKey = KX_PRODUCT_KEY "\\Settings";
constexpr const char* kAccountsKey = KX_PRODUCT_KEY "\\Accounts";
constexpr const char* kFilterKey = KX_PRODUCT_KEY "\\Filter";
constexpr const char* kSSaverKey = KX_PRODUCT_KEY "\\SSaver";
constexpr const char* kCustomizeControlsKey = KX_PRODUCT_KEY "\\CustomizeControls";
