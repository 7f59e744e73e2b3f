#pragma once
// The crash and deadlock report. The report is written by a thread of its own, started
// before anything can fail, while the thread that failed waits: a thread whose stack
// overflowed has no room left to write one.

namespace __dbg_util {

// Starts the reporting thread and routes the runtime's fatal errors (abort, an uncaught C++
// exception, a pure virtual call, an invalid runtime parameter) into the report.
void prepare_crash_report();
// Ends the reporting thread (waiting for what it is doing); reports are then written on the
// failing thread itself.
void end_crash_report();

// Exception codes of the fatal runtime errors.
constexpr unsigned long kCodeFatalAppExit = 0x40000015;         // abort, std::terminate
constexpr unsigned long kCodeInvalidCrtParameter = 0xC0000417;  // a runtime function's parameter
constexpr unsigned long kCodeCppException = 0xE06D7363;         // an uncaught C++ exception
constexpr unsigned long kCodePureVirtualCall = 0xE0505643;      // a call of a pure virtual function

}  // namespace __dbg_util
