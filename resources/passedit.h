// Control ids of TPasswordForm.
#pragma once

#define IDC_PASSWORD_EDIT 5401
#define IDC_PASSWORD_LABEL 5402
