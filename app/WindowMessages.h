#pragma once
#include <windows.h>

// The program's own window messages and window timers.

// A schedule worker to the main dialog; lParam 0 = start, 1 = stop.
constexpr UINT WM_SCHEDULE_DUE = WM_USER + 11;
// A graph's events are waiting: the recording graph to the main dialog (instance data 0),
// the playback graph to the player (instance data 1).
constexpr UINT WM_GRAPH_NOTIFY = WM_APP + 1;
// The notification-area icon to the main dialog.
constexpr UINT WM_TRAY_NOTIFY = WM_APP + 2;

// Main dialog: the current time, shown while a schedule is armed.
constexpr UINT_PTR IDT_SCHEDULE_CLOCK = 77;
constexpr UINT kScheduleClockMs = 1000;
// Player: position slider and time label.
constexpr UINT_PTR IDT_PLAYER_POSITION = 50;
constexpr UINT kPlayerPositionMs = 200;
