#pragma once
/* Resource ids shared by the resource script and the code. */
#define IDI_DEPLOYATOR        107

#define IDD_PROGRESS          129
#define IDD_MODULE_SELECTION  130
#define IDD_INITIALIZING      134

/* Initialisation window */
#define IDC_INIT_TITLE        1011
#define IDC_INIT_SECTION      1017
#define IDC_INIT_ITEM         1018
#define IDC_INIT_PROGRESS     1016
#define IDC_INIT_STOP         1006

/* Progress dialog */
#define IDC_PROGRESS_BAR      1000
#define IDC_SOURCE_LABEL      1001
#define IDC_TARGET_LABEL      1002
#define IDC_SOURCE_PATH       1003
#define IDC_TARGET_PATH       1004
#define IDC_SECTION_NAME      1015
#define IDC_CANCEL_BUTTON     2

/* Module selection dialog */
#define IDC_MODULE_LIST       1005
#define IDC_MARK_ALL          1007
#define IDC_UNMARK_ALL        1008
#define IDC_UPDATE            1009

#define DEPLOYATOR_VERSION_MAJOR 1
#define DEPLOYATOR_VERSION_MINOR 0
#define DEPLOYATOR_VERSION_TEXT  "1.0.0.0"
