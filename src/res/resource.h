// Resource and command numbers of Orlivane.
// Shared by the resource script (Orlivane.rc) and the C++ sources.
// The framework's standard numbers are guarded so that the framework
// header may define them first.

#ifndef ORLIVANE_RES_RESOURCE_H
#define ORLIVANE_RES_RESOURCE_H

// ---------------------------------------------------------------------------
// Dialog templates
// ---------------------------------------------------------------------------
#define IDD_ABOUTBOX                    100
#define IDD_SLIDESHOW_BAR               128
#define IDD_ADD_FAVORITE                151
#define IDD_PREFERENCES                 153
#define IDD_NEW_FOLDER                  154
#define IDD_RENAME                      200

// ---------------------------------------------------------------------------
// Document template, main menu, accelerators and toolbar
// ---------------------------------------------------------------------------
#define IDR_MAINFRAME                   128

// Context menus (each holds one popup)
#define IDR_MENU_HISTORY                138
#define IDR_MENU_FAVORITE_FOLDER        139
#define IDR_MENU_FOLDER                 140
#define IDR_MENU_PICTURE                141
#define IDR_MENU_SLIDESHOW              142

// ---------------------------------------------------------------------------
// Icons
// ---------------------------------------------------------------------------
#define IDI_FOLDER                      132
#define IDI_PICTURE                     133
#define IDI_HISTORY                     134
#define IDI_FAVORITES                   135
#define IDI_FOLDER_PAGE                 137
#define IDI_OFFLINE                     147
#define IDI_PRINT_PICTURE               157
#define IDI_PRINT_FOLDER                158
#define IDI_SHORTCUT                    159

// ---------------------------------------------------------------------------
// Bitmaps (a bitmap and an icon may share a number: different types)
// ---------------------------------------------------------------------------
#define IDB_BADGES                      131
// The badges drawn at 1.25x, 1.5x and 2x
#define IDB_BADGES_125                  132
#define IDB_BADGES_150                  133
#define IDB_BADGES_200                  134
#define IDB_FAVORITE_FOLDER             143
#define IDB_FAVORITE_PICTURE            144
#define IDB_ABOUT_BANNER                147
#define IDB_FOLDER_IMAGES               152
// The toolbar's images (IDR_MAINFRAME) drawn at 125%, 150% and 200%.
#define IDB_TOOLBAR_20                  170
#define IDB_TOOLBAR_24                  171
#define IDB_TOOLBAR_32                  172
// The About banner drawn at 150% and 200%.
#define IDB_ABOUT_BANNER_150            173
#define IDB_ABOUT_BANNER_200            174
// The tree's folders (IDB_FOLDER_IMAGES) drawn at 150% and 200%.
#define IDB_FOLDER_IMAGES_24            175
#define IDB_FOLDER_IMAGES_32            176

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------
#define IDP_OLE_INIT_FAILED             100
#define IDS_OPEN_FOLDER_TITLE           131
#define IDS_DRIVE_PREFIX                132
#define IDS_HOME_PAGE                   133
#define IDS_ROTATE_JPEG_ONLY            134
#define IDS_THUMBNAIL_PROGRESS          135
// The status-bar pane of the thumbnails' progress; its string sets the width.
#define ID_INDICATOR_PROGRESS           136
#define IDS_PATH_NOT_FOUND              137
// What a cell is, as screen readers say it
#define IDS_ITEM_FOLDER                 138
#define IDS_ITEM_PICTURE                139
#define IDS_ITEM_SHORTCUT               140
#define IDS_ITEM_OFFLINE                141
// The status-bar pane of the picture page's zoom; its string sets the width.
#define ID_INDICATOR_ZOOM               142
// Why a name cannot be a file's
#define IDS_NAME_EMPTY                  205
#define IDS_NAME_FORBIDDEN              206
#define IDS_NAME_TOO_LONG               207
#define IDS_NAME_DEVICE                 208
#define IDS_NAME_TRAILING               209
// Strings of acting on files: 180-199 (selection 180-184, commands 185-191,
// rename 192-195, drag and drop 196-199)
#define IDS_ONE_ITEM_SELECTED           180
#define IDS_ITEMS_SELECTED              181
#define IDS_TIP_TAKEN                   260
#define IDS_TIP_DIMENSIONS              261
#define IDS_TIP_SIZE                    262
// The About box: 280-289
#define IDS_ABOUT_LIBRARIES             280
#define IDS_TURN_READ_ONLY              320
#define IDS_TIP_READ_FAILED             321
#define IDS_RENAME_EXISTS               192
#define IDS_RENAME_TITLE                193
// What a file command could not do, and the folder picker's titles
#define IDS_DELETE_FAILED               185
#define IDS_COPY_FAILED                 186
#define IDS_MOVE_FAILED                 187
#define IDS_COPY_TO_TITLE               188
#define IDS_MOVE_TO_TITLE               189
#define IDS_OPEN_WITH_FAILED            190
#define IDS_EDIT_FAILED                 191
// The details pane: its name, its labels and the texts of its values
#define IDS_DETAILS_PANE                230
#define IDS_DETAILS_NAME                231
#define IDS_DETAILS_FOLDER              232
#define IDS_DETAILS_SIZE                233
#define IDS_DETAILS_KIND                234
#define IDS_DETAILS_DIMENSIONS          235
#define IDS_DETAILS_TAKEN               236
#define IDS_DETAILS_CAMERA              237
#define IDS_DETAILS_LENS                238
#define IDS_DETAILS_EXPOSURE            239
#define IDS_DETAILS_FNUMBER             240
#define IDS_DETAILS_ISO                 241
#define IDS_DETAILS_FOCAL_LENGTH        242
#define IDS_DETAILS_FLASH               243
#define IDS_DETAILS_LATITUDE            244
#define IDS_DETAILS_LONGITUDE           245
#define IDS_DETAILS_ALTITUDE            246
#define IDS_DETAILS_SHOW_ON_MAP         247
#define IDS_FLASH_FIRED                 248
#define IDS_FLASH_NOT_FIRED             249
#define IDS_FOCAL_LENGTH_35MM           250
#define IDS_ABOVE_SEA_LEVEL             251
#define IDS_BELOW_SEA_LEVEL             252
#define IDS_MAP_FAILED                  253

// ---------------------------------------------------------------------------
// Commands of the program
// ---------------------------------------------------------------------------
#define ID_EMAIL_SUPPORT                161
#define ID_GO_BACK                      32771
#define ID_OPEN                         32772
#define ID_GO_FORWARD                   32773
#define ID_GO_HOME                      32774
#define ID_PLAY                         32775
#define ID_ADD_FAVORITE                 32780
#define ID_PLAY_SLIDESHOW               32783
#define ID_ADD_TO_FAVORITES             32784
#define ID_REMOVE                       32785
#define ID_EXPLORE                      32786
#define ID_PAUSE                        32787
#define ID_ROTATE_90                    32789
#define ID_ROTATE_180                   32791
#define ID_ROTATE_270                   32797
#define ID_MANAGE_FAVORITES             32799
#define ID_PREFERENCES                  32800
#define ID_ZOOM_IN                      32810
#define ID_ZOOM_OUT                     32811
#define ID_ZOOM_FIT                     32812
#define ID_ZOOM_ACTUAL                  32813
#define ID_VIEW_FULL_SCREEN             32814
// Acting on files (Delete is ID_EDIT_CLEAR; Cut, Copy, Paste, Select All the
// framework's ID_EDIT_ commands)
#define ID_DELETE_PERMANENTLY           32820
#define ID_RENAME                       32821
#define ID_INVERT_SELECTION             32822
#define ID_COPY_TO_FOLDER               32823
#define ID_MOVE_TO_FOLDER               32824
#define ID_OPEN_WITH                    32825
#define ID_EDIT_FILE                    32826
#define ID_SHOW_IN_EXPLORER             32827
#define ID_PROPERTIES                   32828
#define ID_VIEW_REFRESH                 32829
// Paste on a folder's context menu: into that folder, not the one shown
#define ID_PASTE_INTO                   32830
// View > Sort By: the key's command is ID_SORT_BY_NAME plus the catalog's
// SortOrder (3, newest first, is the History's own), then the direction
#define ID_SORT_BY_NAME                 32840
#define ID_SORT_BY_DATE_TAKEN           32841
#define ID_SORT_BY_DATE_MODIFIED        32842
#define ID_SORT_BY_SIZE                 32844
#define ID_SORT_BY_TYPE                 32845
#define ID_SORT_ASCENDING               32850
#define ID_SORT_DESCENDING              32851
#define ID_VIEW_DETAILS_PANE            32860

// Commands generated for the entries of the Favorites menu (both ends included)
#define ID_FAVORITE_FIRST               10000
#define ID_FAVORITE_LAST                20000

// ---------------------------------------------------------------------------
// Dialog controls
// ---------------------------------------------------------------------------
#define IDC_SPEED                       1002
#define IDC_POSITION                    1003
#define IDC_COUNTER                     1005
#define IDC_VERSION                     1006
#define IDC_COPYRIGHT                   1007
#define IDC_NAME                        1012
#define IDC_FOLDER_TREE                 1013
#define IDC_NEW_FOLDER                  1014
#define IDC_CLEAR_CACHE                 1015
#define IDC_HISTORY_COUNT               1016
#define IDC_NEW_FOLDER_CAPTION          1018
#define IDC_BANNER                      1019
#define IDC_RENAME_NAME                 1030
// The details pane, its values (one number each from IDC_DETAILS_VALUE on)
// and its map link
#define IDC_DETAILS_PANE                1040
#define IDC_DETAILS_VALUE               1041
#define IDC_DETAILS_MAP                 1060
// The About box's list of libraries
#define IDC_ABOUT_LIBRARIES             1061

// ---------------------------------------------------------------------------
// The framework's standard numbers
// ---------------------------------------------------------------------------
#include "afxres.h"

#endif // ORLIVANE_RES_RESOURCE_H
