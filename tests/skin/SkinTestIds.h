// Resource and control ids of the skin tests' own script; clear of the program's.
#pragma once

#define IDT_SKIN            9100
#define IDT_IMAGE_NORMAL    9101
#define IDT_IMAGE_HOVER     9102
#define IDT_IMAGE_PRESSED   9103
#define IDT_IMAGE_DISABLED  9104
#define IDT_SMALL_NORMAL    9105
#define IDT_SMALL_HOVER     9106
#define IDT_SMALL_PRESSED   9107
#define IDT_SMALL_DISABLED  9108
#define IDT_BROKEN          9109

#define IDD_SKIN_TEST       9300
#define IDC_T_IMAGE         9301
#define IDC_T_SCALED        9302
#define IDC_T_UNSCALED      9303
#define IDC_T_CHECK         9304
#define IDC_T_STATUS        9305
#define IDC_T_LINK          9306
#define IDC_T_MODE5         9307
#define IDC_T_MODE6         9308
#define IDC_T_MODE7         9309
#define IDC_T_BK_LATE       9310
#define IDC_T_BK_EARLY      9311
#define IDC_T_LEFT          9312
#define IDC_T_CENTRE        9313
#define IDC_T_RIGHT         9314
