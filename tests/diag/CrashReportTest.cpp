// The crash report end to end: a program that fails on purpose runs under the test, the
// test answers its message box like a user and then reads the report it wrote.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/ModuleDirectory.h"
#include "support/TempDir.h"

namespace {

struct CrashRun {
  bool boxSeen = false;
  DWORD boxProcess = 0;      // the process that shows the box
  DWORD programProcess = 0;  // the process that failed
  std::string caption;
  std::string text;
  DWORD exitCode = 0;
  DWORD msToEnd = 0;  // from the start to the end, the box answered as soon as it showed
  std::string exePath;
  std::string report;
  std::map<std::string, unsigned long> facts;

  unsigned long Fact(const std::string& name) const {
    auto it = facts.find(name);
    return it == facts.end() ? 0 : it->second;
  }
};

std::map<std::string, unsigned long> ReadFacts(const std::string& path) {
  std::map<std::string, unsigned long> facts;
  std::istringstream in(FileExists(path) ? ReadWholeFile(path) : "");
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = std::stoul(line.substr(equals + 1));
  }
  return facts;
}

// A window's text as the system keeps it: GetWindowTextA reads another process's caption
// without a message, which a program whose threads are stopped would never answer.
std::string CaptionOf(HWND window) {
  char text[2048] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The visible dialogs captioned `caption`, of any process: the report's box belongs to the
// crashed program's helper.
std::vector<HWND> DialogsCaptioned(const std::string& caption) {
  struct Search {
    const std::string& caption;
    std::vector<HWND> found;
  } search{caption, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(context);
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0 && CaptionOf(window) == s.caption)
          s.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Runs `program` (a file beside this test) from a copy named `copyName` in `dir` with
// `scenario`, presses OK on the message box it shows and waits for its end.

CrashRun RunCrash(const TempDir& dir, const std::string& scenario, const std::string& program = "crash_program.exe",
                  const std::string& copyName = "crash_program.exe", bool expectBox = true) {
  CrashRun run;
  run.exePath = dir.File(copyName);
  EXPECT_TRUE(CopyFileA((GetModuleDirectory() + "\\" + program).c_str(), run.exePath.c_str(), FALSE));
  std::string commandLine = "\"" + run.exePath + "\" " + scenario;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(run.exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.path().c_str(),
                      &startup, &info)) {
    ADD_FAILURE() << "cannot start " << run.exePath;
    return run;
  }
  CloseHandle(info.hThread);
  run.programProcess = info.dwProcessId;
  const DWORD started = GetTickCount();
  // The report's box is the dialog captioned with the executable's path (the program may
  // show other dialogs, such as its main window).
  for (int waited = 0; waited < 60000 && !run.boxSeen; waited += 50) {
    for (HWND box : DialogsCaptioned(run.exePath)) {
      run.boxSeen = true;
      GetWindowThreadProcessId(box, &run.boxProcess);
      run.caption = CaptionOf(box);
      run.text = CaptionOf(GetDlgItem(box, 0xFFFF));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    if (!run.boxSeen && WaitForSingleObject(info.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  if (WaitForSingleObject(info.hProcess, 30000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the program did not end";
    TerminateProcess(info.hProcess, 99);
  }
  run.msToEnd = GetTickCount() - started;
  if (!run.boxSeen && expectBox) ADD_FAILURE() << "no message box captioned " << run.exePath;
  GetExitCodeProcess(info.hProcess, &run.exitCode);
  CloseHandle(info.hProcess);
  if (FileExists(dir.File("Crash.rpt"))) run.report = ReadWholeFile(dir.File("Crash.rpt"));
  run.facts = ReadFacts(dir.File("facts.txt"));
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The frame lines that follow the line `heading` (up to the next line starting " -> ").
std::vector<std::string> FramesAfter(const std::vector<std::string>& lines, const std::string& heading) {
  std::vector<std::string> frames;
  size_t i = 0;
  while (i < lines.size() && lines[i] != heading) ++i;
  for (++i; i < lines.size() && lines[i].rfind(" -> ", 0) != 0; ++i) frames.push_back(lines[i]);
  return frames;
}

std::string StackHeading(unsigned long threadId) { return " -> Call stack (thread " + std::to_string(threadId) + "):"; }

void ExpectUnexpectedProblemBox(const CrashRun& run, const TempDir& dir, const char* exeName = "crash_program.exe") {
  EXPECT_TRUE(run.boxSeen);
  // Its helper shows it: the failed program's own window system may be stopped for good.
  EXPECT_NE(run.boxProcess, run.programProcess);
  EXPECT_EQ(run.caption, run.exePath);
  EXPECT_EQ(run.text, std::string("Unexpected problem detected in the program \"") + exeName +
                          "\".\r\n\r\nSee the report file \"" + dir.File("Crash.rpt") + "\" for more info.");
  EXPECT_EQ(run.exitCode, 1u);
}

// "        <file>(<line>) : <padding><description>"
std::smatch MatchFrame(const std::string& line) {
  static const std::regex frame(R"(^        (.+)\((\d+|\?)\) : +(\S.*)$)");
  std::smatch m;
  std::regex_match(line, m, frame);
  return m;
}

}  // namespace

TEST(CrashReport, AccessViolationInAWorkerThread) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "worker");
  ExpectUnexpectedProblemBox(run, dir);
  EXPECT_EQ(run.Fact("application_after_first_context"), 1u);
  const std::vector<std::string> lines = Lines(run.report);
  ASSERT_GE(lines.size(), 10u) << run.report;

  const unsigned long crasher = run.Fact("crashing_thread");
  ASSERT_NE(crasher, 0u);
  const std::regex header("Unhandled exception 0xC0000005 \\(ACCESS_VIOLATION\\) caught at address 0x([0-9A-F]{16}) in "
                          "the thread " + std::to_string(crasher) + "\\.");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, header)) << lines[0];
  EXPECT_EQ(lines[1], " -> Registers:");
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("        RAX = 0x[0-9A-F]{16}, RBX = .*, RDX = 0x[0-9A-F]{16}, ")))
      << lines[2];
  EXPECT_TRUE(std::regex_match(lines[6], std::regex("        EFlags = 0x[0-9A-F]{8}, CS = 0x[0-9A-F]{4}, SS = 0x[0-9A-F]{4}, "
                                                    "DS = 0x[0-9A-F]{4}, ES = 0x[0-9A-F]+, FS = 0x[0-9A-F]{4}, GS = 0x[0-9A-F]{4}")))
      << lines[6];
  EXPECT_TRUE(std::regex_match(lines[7], std::regex(" -> Last error: 0x[0-9A-F]{8}"))) << lines[7];
  EXPECT_EQ(lines[8], StackHeading(crasher));

  // The faulting thread's stack first: our function with its file, line, values and offset.
  const std::vector<std::string> frames = FramesAfter(lines, StackHeading(crasher));
  ASSERT_GE(frames.size(), 2u) << run.report;
  const std::smatch top = MatchFrame(frames[0]);
  ASSERT_FALSE(top.empty()) << frames[0];
  EXPECT_NE(top[1].str().find("CrashProgram.cpp"), std::string::npos) << frames[0];
  EXPECT_EQ(top[2].str(), std::to_string(run.Fact("crash_line"))) << frames[0];
  EXPECT_TRUE(std::regex_match(top[3].str(), std::regex(R"(CFoo::Bar\(int=5,char\*="abc"\) \+ \d+ bytes)"))) << frames[0];
  EXPECT_NE(frames[1].find("CrashingWorker(void*=0x0000"), std::string::npos) << frames[1];
  // The descriptions of one stack start in one column.
  EXPECT_EQ(frames[0].find(" : ") + frames[0].substr(frames[0].find(" : ") + 3).find_first_not_of(' '),
            frames[1].find(" : ") + frames[1].substr(frames[1].find(" : ") + 3).find_first_not_of(' '));

  // One section per other thread, each walked from where it waits.
  for (const char* other : {"main_thread", "waiting_thread_1", "waiting_thread_2"}) {
    const std::vector<std::string> otherFrames = FramesAfter(lines, StackHeading(run.Fact(other)));
    EXPECT_FALSE(otherFrames.empty()) << other << "\n" << run.report;
  }
  const std::string mainStack = [&] {
    std::string s;
    for (const auto& f : FramesAfter(lines, StackHeading(run.Fact("main_thread")))) s += f + "\n";
    return s;
  }();
  EXPECT_NE(mainStack.find("main(int=2,char**=0x"), std::string::npos) << mainStack;

  EXPECT_NE(run.report.find("\r\n -> Computer configuration:\r\n        OS type: WIN32 NT\r\n        OS version: major "),
            std::string::npos);
  EXPECT_NE(run.report.find("        Processor features: FPU, "), std::string::npos);
  EXPECT_EQ(run.report.find(" -> Buffered traces:"), std::string::npos);
  EXPECT_EQ(run.report.find(" -> Additional information:"), std::string::npos);
  EXPECT_EQ(run.report.find("__dbg_util::"), std::string::npos) << "the library's own frames are left out";
}

TEST(CrashReport, HooksAddTheirTextAndBufferedTraces) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "hooks");
  ExpectUnexpectedProblemBox(run, dir);
  const size_t configuration = run.report.find(" -> Computer configuration:\r\n");
  const size_t additional = run.report.find(" -> Additional information:\r\nrecording to C:\\take.mp3\r\n");
  const size_t traces = run.report.find(" -> Buffered traces:\r\nolder line\r\nnewest\r\n");
  EXPECT_NE(configuration, std::string::npos);
  EXPECT_NE(additional, std::string::npos) << run.report;
  EXPECT_NE(traces, std::string::npos) << run.report;
  EXPECT_LT(configuration, additional);
  EXPECT_LT(additional, traces);
  EXPECT_EQ(run.report.find("ine\r\n"), run.report.find("line\r\n") + 1) << "the line cut by the wrap is skipped";
}

TEST(CrashReport, FailuresOnTheMainThreadShowTheFailingFunctionAndItsCaller) {
  const struct {
    const char* scenario;
    const char* header;
    const char* first;
    const char* second;
  } cases[] = {
      {"main", "Unhandled exception 0xC0000005 (ACCESS_VIOLATION) caught at address 0x", "CFoo::Bar(int=5,char*=\"abc\")",
       "main(int=2,char**=0x"},
      // A call through a null pointer fails at address 0; the walk starts at the caller.
      {"null-call", "Unhandled exception 0xC0000005 (ACCESS_VIOLATION) caught at address 0x0000000000000000 ",
       "CallThrough(function*=0x0000000000000000)", "main(int=2,"},
      {"stack-overflow", "Unhandled exception 0xC00000FD (STACK_OVERFLOW) caught at address 0x", "Recurse(int=",
       "Recurse(int="},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const CrashRun run = RunCrash(dir, c.scenario);
    ExpectUnexpectedProblemBox(run, dir);
    const std::vector<std::string> lines = Lines(run.report);
    ASSERT_FALSE(lines.empty()) << c.scenario << ": no report";
    EXPECT_EQ(lines[0].rfind(c.header, 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" in the thread " + std::to_string(run.Fact("main_thread")) + "."), std::string::npos);
    const std::vector<std::string> frames = FramesAfter(lines, StackHeading(run.Fact("main_thread")));
    ASSERT_GE(frames.size(), 2u) << run.report;
    EXPECT_NE(frames[0].find(c.first), std::string::npos) << frames[0];
    EXPECT_NE(frames[1].find(c.second), std::string::npos) << frames[1];
  }
}

TEST(CrashReport, RuntimeFailuresAreReportedWithTheirOwnCodes) {
  const struct {
    const char* scenario;
    const char* header;
  } cases[] = {
      {"abort", "Unhandled exception 0x40000015 (FATAL_APP_EXIT)"},
      {"uncaught", "Unhandled exception 0xE06D7363 (CPP_EXCEPTION)"},
      {"pure-virtual", "Unhandled exception 0xE0505643 (PURE_VIRTUAL_CALL)"},
      {"invalid-parameter", "Unhandled exception 0xC0000417 (INVALID_CRT_PARAMETER)"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const CrashRun run = RunCrash(dir, c.scenario);
    ExpectUnexpectedProblemBox(run, dir);
    EXPECT_EQ(run.report.rfind(c.header, 0), 0u) << c.scenario << "\n" << run.report;
    EXPECT_NE(run.report.find(" -> Computer configuration:"), std::string::npos) << c.scenario;
    EXPECT_NE(run.report.find("main(int=2,char**="), std::string::npos) << c.scenario << "\n" << run.report;
    const bool cpp = std::string(c.scenario) == "uncaught";
    EXPECT_EQ(run.report.find(" -> Uncaught C++ exception:\r\n        Type: std::runtime_error\r\n"
                              "        Text: nobody catches this\r\n -> Computer configuration:") != std::string::npos,
              cpp)
        << c.scenario << "\n" << run.report;
  }
}

TEST(CrashReport, DeadlockModeReportsTheCallingThread) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "deadlock");
  EXPECT_TRUE(run.boxSeen);
  EXPECT_EQ(run.caption, run.exePath);
  EXPECT_EQ(run.text, "Deadlock detected in the program \"crash_program.exe\".\r\n\r\nSee the report file \"" +
                          dir.File("Crash.rpt") + "\" for more info.");
  EXPECT_EQ(run.exitCode, 1u);
  const std::vector<std::string> lines = Lines(run.report);
  const std::string heading = "Deadlock detected in the thread " + std::to_string(run.Fact("main_thread")) + ". Call stack:";
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], heading);
  const std::vector<std::string> frames = FramesAfter(lines, heading);
  ASSERT_GE(frames.size(), 2u) << run.report;
  const std::smatch top = MatchFrame(frames[0]);
  ASSERT_FALSE(top.empty()) << frames[0];
  EXPECT_EQ(top[2].str(), std::to_string(run.Fact("deadlock_line")));
  EXPECT_NE(frames[0].find("CFoo::Wait(int=3,char*=\"stuck\")"), std::string::npos) << frames[0];
  EXPECT_NE(frames[1].find("main(int=2,"), std::string::npos) << frames[1];
  EXPECT_EQ(run.report.find("Unhandled exception"), std::string::npos);
  EXPECT_NE(run.report.find(" -> Computer configuration:"), std::string::npos);
}

TEST(CrashReport, SecondReportIsAppendedToTheOpenFile) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "second-report");
  ExpectUnexpectedProblemBox(run, dir);
  const size_t deadlock = run.report.find("Deadlock detected in the thread ");
  const size_t crash = run.report.find("Unhandled exception 0xC0000005 (ACCESS_VIOLATION)");
  EXPECT_EQ(deadlock, 0u) << run.report;
  EXPECT_NE(crash, std::string::npos);
  EXPECT_LT(deadlock, crash);
  // Each report has its own configuration section.
  const size_t first = run.report.find(" -> Computer configuration:");
  EXPECT_LT(first, crash);
  EXPECT_GT(run.report.find(" -> Computer configuration:", first + 1), crash);
}

TEST(CrashReport, ThreadsBeyondTheTableAreCountedNotListed) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "many-threads");
  ExpectUnexpectedProblemBox(run, dir);
  size_t sections = 0;
  for (size_t at = 0; (at = run.report.find(" -> Call stack (thread ", at)) != std::string::npos; ++at) ++sections;
  EXPECT_EQ(sections, 64u) << "the failing thread and 63 others";
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.report, m, std::regex(R"(\r\n -> (\d+) more threads are left out of this report\.\r\n)")));
  // 73 threads of the program besides the failing one, and whatever threads Wine adds.
  EXPECT_GE(std::stoi(m[1].str()), 73 - 63);
  EXPECT_LT(run.report.find(m[0].str()), run.report.find(" -> Computer configuration:"));
}

TEST(CrashReport, UnwritableReportStillTellsTheUserAndEnds) {
  TempDir dir;
  // A folder where the report file would go: it cannot be created.
  ASSERT_TRUE(CreateDirectoryA(dir.File("Crash.rpt").c_str(), nullptr));
  const CrashRun run = RunCrash(dir, "worker");
  ExpectUnexpectedProblemBox(run, dir);
}

// The text from `heading` up to the next section.
std::string Section(const std::string& report, const std::string& heading) {
  const size_t start = report.find(heading);
  if (start == std::string::npos) return "";
  return report.substr(start, report.find("\r\n -> ", start + heading.size()) - start);
}

TEST(CrashReport, SondrelItselfReportsAFailureOnItsInterfaceThread) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "", "sondrel_crashable.exe", "Sondrel.exe");
  ExpectUnexpectedProblemBox(run, dir, "Sondrel.exe");
  const std::vector<std::string> lines = Lines(run.report);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_NE(lines[0].find("Unhandled exception 0xC0000005 (ACCESS_VIOLATION)"), std::string::npos) << lines[0];
  // The fault came inside a hook the message loop called: the system would have ignored it.
  const std::smatch top = MatchFrame(lines[9]);
  ASSERT_FALSE(top.empty()) << lines[9];
  EXPECT_NE(top[1].str().find("CrashTrigger.cpp"), std::string::npos);
  EXPECT_EQ(top[3].str().rfind("CrashOnRequest(int=0,", 0), 0u) << lines[9];
}

TEST(CrashReport, SondrelItselfReportsAFailureInAWorkerWithItsWindowThread) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "worker", "sondrel_crashable.exe", "Sondrel.exe");
  ExpectUnexpectedProblemBox(run, dir, "Sondrel.exe");
  const std::string first = Section(run.report, " -> Call stack (thread ");
  EXPECT_NE(first.find("FailInWorker(int=7) + "), std::string::npos) << run.report;
  // The interface thread waits in the main dialog's modal loop (or, caught in a window
  // procedure, Wine's walk ends at the callback): the program's own frames either way.
  const std::string rest = run.report.substr(run.report.find(first) + first.size());
  const bool inLoop = rest.find("CSondrelApp::InitInstance(void)") != std::string::npos &&
                      rest.find("AfxWinMain(HINSTANCE__*=") != std::string::npos;
  const bool inWindowProcedure = rest.find("CWnd::StaticWindowProc(") != std::string::npos;
  EXPECT_TRUE(inLoop || inWindowProcedure) << run.report;
}

// Failures of every kind, each in a child process that must show its box and end with exit
// code 1 well within the report's 10-second deadline. The cases with busy threads are races
// (the crash may come while another thread holds the heap's or the loader's lock) and run
// several times.
TEST(CrashReport, EveryKindOfFailureIsReportedAndEndsTheProgramInTime) {
  const struct {
    const char* scenario;
    int runs;
    const char* header;      // the exception line, up to the address
    const char* failingFact; // the thread the header names
    const char* frame;       // found in that thread's stack
  } cases[] = {
      {"worker-overflow", 1, "Unhandled exception 0xC00000FD (STACK_OVERFLOW)", "crashing_thread", "Recurse(int="},
      {"worker-abort", 1, "Unhandled exception 0x40000015 (FATAL_APP_EXIT)", "crashing_thread", "AbortInWorker("},
      {"worker-throw", 1, "Unhandled exception 0xE06D7363 (CPP_EXCEPTION)", "crashing_thread", "ThrowInWorker("},
      {"window-throw", 1, "Unhandled exception 0xE06D7363 (CPP_EXCEPTION)", "main_thread", "ThrowingWindowProcedure("},
      {"heap-busy", 4, "Unhandled exception 0xC0000005 (ACCESS_VIOLATION)", "crashing_thread", "CFoo::Bar(int=5,"},
      {"loader-busy", 4, "Unhandled exception 0xC0000005 (ACCESS_VIOLATION)", "crashing_thread", "CFoo::Bar(int=5,"},
      // A fault in a guarded step (the additional-information hook) ends that step only.
      {"faulting-hook", 1, "Unhandled exception 0xC0000005 (ACCESS_VIOLATION)", "main_thread", "CFoo::Bar(int=5,"},
  };
  for (const auto& c : cases) {
    for (int i = 0; i < c.runs; ++i) {
      SCOPED_TRACE(std::string(c.scenario) + " run " + std::to_string(i + 1));
      TempDir dir;
      const CrashRun run = RunCrash(dir, c.scenario);
      // A box at all means before the deadline, which would have ended the program.
      ExpectUnexpectedProblemBox(run, dir);
      const std::vector<std::string> lines = Lines(run.report);
      ASSERT_FALSE(lines.empty()) << "no report";
      EXPECT_EQ(lines[0].rfind(std::string(c.header) + " caught at address 0x", 0), 0u) << lines[0];
      const unsigned long failing = run.Fact(c.failingFact);
      EXPECT_NE(lines[0].find(" in the thread " + std::to_string(failing) + "."), std::string::npos) << lines[0];
      std::string stack;
      for (const auto& f : FramesAfter(lines, StackHeading(failing))) stack += f + "\n";
      EXPECT_NE(stack.find(c.frame), std::string::npos) << run.report;
      EXPECT_NE(run.report.find(" -> Computer configuration:\r\n        OS type: "), std::string::npos) << run.report;
      if (std::string(c.scenario) == "faulting-hook") {
        EXPECT_EQ(run.report.find(" -> Additional information:"), std::string::npos);
      }
      if (std::string(c.scenario) == "worker-throw") {
        EXPECT_NE(run.report.find("        Type: std::logic_error\r\n        Text: worker gave up\r\n"), std::string::npos);
      }
    }
  }
}

TEST(CrashReport, TwoThreadsFailingAtOnceGiveOneReport) {
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("run " + std::to_string(i + 1));
    TempDir dir;
    const CrashRun run = RunCrash(dir, "two-at-once");
    ExpectUnexpectedProblemBox(run, dir);
    size_t headers = 0;
    for (size_t at = 0; (at = run.report.find("Unhandled exception", at)) != std::string::npos; ++at) ++headers;
    EXPECT_EQ(headers, 1u) << run.report;
    const std::vector<std::string> lines = Lines(run.report);
    ASSERT_FALSE(lines.empty());
    const unsigned long first = run.Fact("first_thread"), second = run.Fact("second_thread");
    const bool firstReported = lines[0].find(" in the thread " + std::to_string(first) + ".") != std::string::npos;
    const unsigned long other = firstReported ? second : first;
    if (!firstReported) {
      EXPECT_NE(lines[0].find(" in the thread " + std::to_string(second) + "."), std::string::npos) << lines[0];
    }
    // The other one was stopped on its way to its own report; its stack is among the others.
    std::string stack;
    for (const auto& f : FramesAfter(lines, StackHeading(other))) stack += f + "\n";
    EXPECT_NE(stack.find("FailOnSignal("), std::string::npos) << run.report;
  }
}

TEST(CrashReport, ReturningNotificationEndsWithTheExceptionCode) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "returning-hook", "crash_program.exe", "crash_program.exe", false);
  EXPECT_FALSE(run.boxSeen);
  EXPECT_EQ(run.exitCode, 0xC0000005u);
  // The previous filter ran with every thread the report had stopped running again, those
  // beyond the report's table too.
  EXPECT_EQ(run.Fact("released_workers"), 70u);
  EXPECT_EQ(run.report.rfind("Unhandled exception 0xC0000005 (ACCESS_VIOLATION)", 0), 0u) << run.report;
  EXPECT_NE(run.report.find(" -> Computer configuration:"), std::string::npos);
}
