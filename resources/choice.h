// Control ids of TChoiceForm.
#pragma once

#define IDC_CHOICE_LIST 5301
