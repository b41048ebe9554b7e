// Product version, shared by the version resources of both programs.
#pragma once
#define KX_VERSION_BIN 1, 0, 0, 0
#define KX_VERSION_STR "1.0.0.0"
#define KX_PRODUCT_NAME "Kestrix"
#define KX_COMPANY_NAME "Kestrix, Inc."
#define KX_COPYRIGHT "Copyright (C) 2026 Kestrix, Inc."
