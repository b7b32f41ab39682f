/* Resource identifiers, shared by quorix.rc and the program. */
#ifndef QUORIX_RESOURCE_H
#define QUORIX_RESOURCE_H

/* Menus */
#define IDM_MAIN 1

/* Menu commands */
#define IDM_EXIT 101
#define IDM_DMX_TO_WAV 102
#define IDM_ABOUT 103
#define IDM_WAV_TO_DMX 104
#define IDM_PLAY 105
#define IDM_REPLAY 106
#define IDM_OPTIONS 107

/* Dialogs */
#define IDD_WAV_TO_DMX_OPTIONS 2
#define IDD_DMX_TO_WAV_OPTIONS 3

/* Icons */
#define IDI_SMALL 1 /* 32 x 32, 256 colours */
#define IDI_LARGE 2 /* 64 x 64, 16 colours */

/* Controls without an identifier of their own */
#define IDC_NONE (-1)

/* The sample-rate dialog */
#define IDC_RATE 10

/* The WAV to DMX options form, a template that no command opens */
#define IDC_AUTOSCALE 11
#define IDC_INVERT 12
#define IDC_EPROMS_1 13
#define IDC_MU_LAW 14
#define IDC_LINEAR 15
#define IDC_FORMAT_GROUP 16
#define IDC_EPROMS_2 17
#define IDC_EPROMS_HALF 19
#define IDC_EPROMS_GROUP 20
#define IDC_SELECT_INPUT 24
#define IDC_SELECT_INPUT_2 25
#define IDC_INPUT_NAME 26
#define IDC_INPUT_NAME_2 27
#define IDC_EPROM_TYPE_GROUP 28
#define IDC_SELECT_OUTPUT 29
#define IDC_OUTPUT_NAME 30
#define IDC_TARGET 31
#define IDC_PAD_FIRST_TWO 40
#define IDC_EPROM_UNSPECIFIED 43
#define IDC_EPROMS_4 44
#define IDC_EPROM_2732 48
#define IDC_EPROM_2764 49

#endif
