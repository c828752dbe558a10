// Ids of the main dialog, its controls and its icons.
#pragma once

#define IDD_MAIN 101
#define IDI_SMALL 1022
#define IDI_BIG 1023

#define IDC_STATIONS 1002      // station list
#define IDC_PAUSE 1003         // "Pause" / "Play"
#define IDC_INFO 1004          // "&Info"
#define IDC_EXIT 1005          // "Exit"
#define IDC_STATUS 1006        // connection status
#define IDC_VOLUME 1008        // volume slider, 0..100
#define IDC_FORMAT 1009        // stream format
#define IDC_DSINFO 1010        // DirectSound version and speakers
#define IDC_CPU 1011           // the engine's processor load
#define IDC_PRESET_INSTR 1013  // preset "Instrumental"
#define IDC_PRESET_VOCAL 1014  // preset "Vocal"
#define IDC_PRESET_OFF 1015    // preset "Off"
#define IDC_LEVEL_LEFT 1018    // left level meter
#define IDC_LEVEL_RIGHT 1019   // right level meter
#define IDC_REC 1024           // "Rec"
#define IDC_URL 31             // station address
#define IDC_TITLE 32           // song title
#define IDC_NAME 33            // station name, engine version at start
#define IDC_EFFECT0 50         // effect sliders 0..3: 125 Hz, 1 kHz, 10 kHz, reverb
#define IDC_EFFECT1 51
#define IDC_EFFECT2 52
#define IDC_EFFECT3 53
#define IDC_STATIC (-1)  // controls that are never addressed
