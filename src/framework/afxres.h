// The framework's standard numbers: commands, strings, messages, window ids.
// Plain definitions, so that the resource compiler reads them too.
#pragma once

// Commands
#define ID_FILE_NEW                     57600
#define ID_FILE_OPEN                    57601
#define ID_FILE_CLOSE                   57602
#define ID_FILE_PRINT_SETUP             57606
#define ID_FILE_PRINT                   57607
#define ID_FILE_PRINT_DIRECT            57608
#define ID_FILE_PRINT_PREVIEW           57609
#define ID_FILE_MRU_FILE1               57616
#define ID_APP_ABOUT                    57664
#define ID_APP_EXIT                     57665
#define ID_HELP_INDEX                   57666
#define ID_HELP_FINDER                  57667
#define ID_HELP_USING                   57668
#define ID_CONTEXT_HELP                 57669
#define ID_HELP                         57670
#define ID_DEFAULT_HELP                 57671
#define ID_EDIT_CLEAR                   57632
#define ID_EDIT_COPY                    57634
#define ID_EDIT_CUT                     57635
#define ID_EDIT_PASTE                   57637
#define ID_EDIT_SELECT_ALL              57642
#define ID_VIEW_TOOLBAR                 59392
#define ID_VIEW_STATUS_BAR              59393

// Status-bar indicators
#define ID_INDICATOR_CAPS               59137
#define ID_INDICATOR_NUM                59138
#define ID_INDICATOR_SCRL               59139

// Print preview buttons
#define AFX_ID_PREVIEW_CLOSE            57445
#define AFX_ID_PREVIEW_PRINT            57443

// Strings and messages
#define AFX_IDS_APP_TITLE               57344
#define AFX_IDS_IDLEMESSAGE             57345
#define AFX_IDP_FAILED_TO_LAUNCH_HELP   61703
#define AFX_IDP_PARSE_INT               61712
#define AFX_IDP_PARSE_INT_RANGE         61714
#define AFX_IDP_PARSE_STRING_SIZE       61716

// Window ids of control bars and the view
#define AFX_IDW_CONTROLBAR_FIRST        0xE800
#define AFX_IDW_CONTROLBAR_LAST         0xE8FF
#define AFX_IDW_TOOLBAR                 0xE800
#define AFX_IDW_STATUS_BAR              0xE801
#define AFX_IDW_REBAR                   0xE804
#define AFX_IDW_DIALOGBAR               0xE805
#define AFX_IDW_PANE_FIRST              0xE900
