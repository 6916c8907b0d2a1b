// Resource and item identifiers of the console.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONSOLE 102
#define IDR_MAINFRAME 128

#define IDC_READ_WEIGHT 3
#define IDC_OPEN_DEVICE 4
#define IDC_CLOSE_DEVICE 5
#define IDC_DIO_COMMAND 1001
#define IDC_WEIGHT 1002
#define IDC_GAUGE 1003
#define IDC_LOOP 1004
#define IDC_SCALE 1007
#define IDC_CAPACITY 1008
#define IDC_DIO_RESULT 1009
#define IDC_STATUS 1010
#define IDC_RESULT_HEX 1011
#define IDC_RESULT_NAME 1012
#define IDC_STATIC (-1)
