#pragma once

// What the main window is doing. The numbers are stored and compared as such.
enum RecordingState : int { Idle = 0, Recording = 1, Paused = 2, Playing = 3 };
