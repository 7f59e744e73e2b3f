#pragma once
// Runs a command of the Linux host from a test running under Wine, for independent checks
// of the files the program writes (sox, ffmpeg, lame) and for host-side set-up (chattr).
// Wine starts a Unix program from CreateProcess but gives no waitable process and no exit
// code, so the command runs inside a shell script that records both in files, and the
// call waits for them. Built natively, the same calls run the command directly.
#include <string>

struct LinuxCommandResult {
  bool finished = false;  // false: the command did not finish within the time limit
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};

// `shellCommand` is run by /bin/sh; write Linux paths in it (see UnixPath).
LinuxCommandResult RunLinuxCommand(const std::string& shellCommand, unsigned timeoutMs = 60000);

// The Linux path of a Windows path (through Wine's own mapping); empty when there is none.
// Natively the path itself.
std::string UnixPath(const std::string& windowsPath);

// Quotes a string for /bin/sh.
std::string ShellQuote(const std::string& text);
