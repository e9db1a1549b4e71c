// Resource and control ids of FastMendLUMAFWU. Included by FastMend.rc and by the
// C++ sources, so it holds plain #defines only (the resource compiler reads it too).
#pragma once

// Dialog templates: each window is a back (layered picture) plus a child (controls).
#define IDD_ABOUTBOX            100
#define IDD_MAIN_BACK           102
#define IDD_PROGRESS_CHILD      129
#define IDD_PROGRESS_BACK       130
#define IDD_FEEDBACK_CHILD      131
#define IDD_FEEDBACK_BACK       135
#define IDD_PROMPT_CHILD        137
#define IDD_PROMPT_BACK         139
#define IDD_VIEWER_CHILD        141
#define IDD_VIEWER_BACK         143
#define IDD_MAIN_PANEL          146

#define IDS_ABOUTBOX            101
#define IDI_APP                 128
#define IDB_SCROLLBAR           196

// System menu command of the About item.
#define IDM_ABOUTBOX            0x0010

// Controls. 1005 is the close button of both the main panel and the prompt child.
#define IDC_PROGRESS_TEXT       1000
#define IDC_MORE_SOLUTIONS      1001
#define IDC_FEEDBACK_CLOSE      1002
#define IDC_SOLVED              1003
#define IDC_UNSOLVED            1004
#define IDC_CLOSE               1005
#define IDC_PROMPT_TEXT         1006
#define IDC_PROMPT_FIRST        1007
#define IDC_PROMPT_SECOND       1008
#define IDC_AGREEMENT_EDIT      1009
#define IDC_MINIMIZE            1010
#define IDC_MORE_TOOLS          1011
#define IDC_AGREE               1012
#define IDC_VERSION             1013
#define IDC_AGREEMENT_LINK      1014
#define IDC_FEEDBACK_LINK       1015
#define IDC_REPAIR              1016

// PNG skins (resource type "PNG"). _ZH is the Simplified Chinese skin, _EN the other.
// Button pictures come in the order normal, hover, pressed[, disabled].
#define IDP_MAIN_BACK_ZH        148
#define IDP_MAIN_PANEL_ZH       149
#define IDP_CHECKBOX            150
#define IDP_CLOSE_NORMAL        151
#define IDP_CLOSE_HOVER         152
#define IDP_CLOSE_PRESSED       153
#define IDP_CLOSE_DISABLED      154
#define IDP_PROGRESS_BACK       155
#define IDP_PROGRESS_CHILD      156
#define IDP_MINIMIZE_NORMAL     157
#define IDP_MINIMIZE_HOVER      158
#define IDP_MINIMIZE_PRESSED    159
#define IDP_MINIMIZE_DISABLED   160
#define IDP_MORE_SOLUTIONS_NORMAL   161
#define IDP_MORE_SOLUTIONS_HOVER    162
#define IDP_MORE_SOLUTIONS_PRESSED  163
#define IDP_MORE_SOLUTIONS_DISABLED 164
#define IDP_MORE_TOOLS_NORMAL   165
#define IDP_MORE_TOOLS_HOVER    166
#define IDP_MORE_TOOLS_PRESSED  167
#define IDP_MORE_TOOLS_DISABLED 168
#define IDP_PROMPT_BACK_ZH      169
#define IDP_PROMPT_CHILD_ZH     170
#define IDP_CANCEL_ZH_NORMAL    171
#define IDP_CANCEL_ZH_HOVER     172
#define IDP_CANCEL_ZH_PRESSED   173
#define IDP_PROMPT_CLOSE_NORMAL 174
#define IDP_PROMPT_CLOSE_HOVER  175
#define IDP_PROMPT_CLOSE_PRESSED 176
#define IDP_NO_ZH_NORMAL        177
#define IDP_NO_ZH_HOVER         178
#define IDP_NO_ZH_PRESSED       179
#define IDP_CONFIRM_ZH_NORMAL   180
#define IDP_CONFIRM_ZH_HOVER    181
#define IDP_CONFIRM_ZH_PRESSED  182
#define IDP_YES_ZH_NORMAL       183
#define IDP_YES_ZH_HOVER        184
#define IDP_YES_ZH_PRESSED      185
#define IDP_FEEDBACK_BACK       186
#define IDP_FEEDBACK_CHILD      187
#define IDP_FEEDBACK_CLOSE_NORMAL   188
#define IDP_FEEDBACK_CLOSE_HOVER    189
#define IDP_FEEDBACK_CLOSE_PRESSED  190
#define IDP_FEEDBACK_CLOSE_DISABLED 191
#define IDP_REPAIR_ZH_NORMAL    192
#define IDP_REPAIR_ZH_HOVER     193
#define IDP_REPAIR_ZH_PRESSED   194
#define IDP_REPAIR_ZH_DISABLED  195
#define IDP_SOLVED_NORMAL       197
#define IDP_SOLVED_HOVER        198
#define IDP_SOLVED_PRESSED      199
#define IDP_SOLVED_DISABLED     200
#define IDP_VIEWER              201
#define IDP_UNSOLVED_NORMAL     202
#define IDP_UNSOLVED_HOVER      203
#define IDP_UNSOLVED_PRESSED    204
#define IDP_UNSOLVED_DISABLED   205
#define IDP_MAIN_BACK_EN        206
#define IDP_MAIN_PANEL_EN       207
#define IDP_REPAIR_EN_NORMAL    208
#define IDP_REPAIR_EN_HOVER     209
#define IDP_REPAIR_EN_PRESSED   210
#define IDP_REPAIR_EN_DISABLED  211
#define IDP_PROMPT_BACK_EN      212
#define IDP_PROMPT_CHILD_EN     213
#define IDP_CANCEL_EN_NORMAL    214
#define IDP_CANCEL_EN_HOVER     215
#define IDP_CANCEL_EN_PRESSED   216
#define IDP_NO_EN_NORMAL        217
#define IDP_NO_EN_HOVER         218
#define IDP_NO_EN_PRESSED       219
#define IDP_OK_EN_NORMAL        220
#define IDP_OK_EN_HOVER         221
#define IDP_OK_EN_PRESSED       222

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
