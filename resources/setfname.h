// Control ids of the missing-name prompt (TFileNameSetForm).
#pragma once

// TFILENAMESETFORM
#define IDC_FNSET_LABEL 2201
#define IDC_FNSET_EDIT 2202
#define IDC_FNSET_SET 2203
#define IDC_FNSET_BASE 2204
