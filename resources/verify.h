// Control ids of the error report window (TVerifyRslt).
#pragma once

// TVERIFYRSLT
#define IDC_VERIFY_LIST 2101
