/* The setup dialog's id and the ids of its controls and commands, shared by
   resources/setup.rc and the code. A control's id is also the id of its text
   in the string tables. #defines only: the resource compiler takes nothing
   else from an included header. */
#pragma once

#define SETUP_DIALOG_ID 1000 /* also the title's string id */

#define ID_OK_BUTTON 99
#define ID_CANCEL_BUTTON 2
#define ID_PRODUCT_LABEL 1001
#define ID_PLATFORM_LABEL 1002
#define ID_LANGUAGE_LIST 1010
#define ID_DESTINATION_LABEL 1031
#define ID_DESTINATION_EDIT 1032
#define ID_BROWSE_BUTTON 1033
#define ID_PROGRAM_GROUP_BOX 1041
#define ID_DESKTOP_BOX 1042
#define ID_QUICK_LAUNCH_BOX 1043
#define ID_STATUS_LINE 1047

/* The language list's context menu */
#define ID_SELECT_ALL 136
#define ID_DESELECT_ALL 137
#define ID_INVERT_SELECTION 138

/* Shown while a check or an install runs */
#define ID_PROGRESS_BAR 1048
