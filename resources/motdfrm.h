// Control ids of TMOTDForm.
#pragma once

#define IDC_MOTD_MEMO 5501
