// Command and control identifiers shared by the resource scripts and the
// program.
#pragma once

// Commands of the main window: menu items, accelerators and buttons share them.
#define ID_EXIT 2010
#define ID_REF 2020
#define ID_SPLIT_ALL 2030
#define ID_SPLIT_RANGE 2035
#define ID_HELP 2040
#define ID_ABOUT 2050
#define ID_PATH 2060
#define ID_SETTING 2070
#define ID_SPLIT_PARTS 2037

// Progress window.
#define ID_PROGRESS 3000
#define ID_JOB_END 3100
#define ID_STATUS 4000

// Page-range dialog.
#define ID_FIRST_PAGE 5000
#define ID_LAST_PAGE 5010
#define ID_DISP_PAGE 5020
#define ID_PAGE_LABEL 5030
#define ID_SAVE_FOLDER 5040
#define ID_SAME_DATE 5050

// Parts dialog (with ID_SAVE_FOLDER and ID_SAME_DATE).
#define ID_PART_EVERY_MODE 5100
#define ID_PART_EVERY 5105
#define ID_PART_LEVEL_MODE 5110
#define ID_PART_LEVEL 5115
#define ID_PART_COUNT 5118
#define ID_PART_RANGES_MODE 5120
#define ID_PART_RANGES 5125
#define ID_PART_SIZE_MODE 5130
#define ID_PART_SIZE 5135

// Password dialog.
#define ID_PASSWORD 6000

// Settings and warn-limit dialogs.
#define ID_WARN_BOX 6500
#define ID_WARN_N 6510

// The command a batch run sends to its caller window with the result code.
#define ID_BATCH_RESULT 999
