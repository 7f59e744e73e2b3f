// The crash report end to end: a program that fails on purpose runs under the test, the
// test answers its message box like a user and then reads the report it wrote.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/ModuleDirectory.h"
#include "res/resource.h"
#include "support/RunningProgram.h"
#include "support/EnvironmentNumber.h"
#include "support/TempDir.h"
#include "tests/filters/wavdest/RecordingGraph.h"
#include "tests/program/VirtualDeviceSettings.h"

namespace {

struct CrashRun {
  bool boxSeen = false;
  DWORD boxProcess = 0;      // the process that shows the box
  DWORD programProcess = 0;  // the process that failed
  std::string caption;
  std::string text;
  DWORD exitCode = 0;
  DWORD boxTick = 0;  // when the box was seen (GetTickCount)
  std::string exePath;
  std::string exeName;
  std::string reportPath;
  std::string report;
  std::map<std::string, unsigned long long> facts;

  unsigned long long Fact(const std::string& name) const {
    auto it = facts.find(name);
    return it == facts.end() ? 0 : it->second;
  }
  // From the failure (the program's last facts, written right before it) to the box.
  DWORD MsFromFailureToBox() const { return boxSeen ? boxTick - static_cast<DWORD>(Fact("written_tick")) : 0; }
};

std::map<std::string, unsigned long long> ReadFacts(const std::string& path) {
  std::map<std::string, unsigned long long> facts;
  std::istringstream in(FileExists(path) ? ReadWholeFile(path) : "");
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = std::stoull(line.substr(equals + 1));
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

struct DialogSearch {
  const std::string& caption;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogCaptioned(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<DialogSearch*>(context);
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0 && CaptionOf(window) == search.caption)
    search.found.push_back(window);
  return TRUE;
}

// The visible dialogs captioned `caption`, of any process: the report's box belongs to the
// crashed program's helper.
std::vector<HWND> DialogsCaptioned(const std::string& caption) {
  DialogSearch search{caption, {}};
  EnumWindows(CollectDialogCaptioned, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A program that fails on purpose: one beside this test, copied into the run's folder.
struct Launch {
  std::string scenario;
  std::string program = "crash_program.exe";
  std::string copyName = "crash_program.exe";
};

const Launch kSondrel{"", "sondrel_crashable.exe", "Sondrel.exe"};

Launch Sondrel(const std::string& scenario) {
  Launch launch = kSondrel;
  launch.scenario = scenario;
  return launch;
}

// A failing program watched until it ends: the report's box is answered like a user would
// as soon as it shows, and what the program left is gathered at its end.
class CrashChild {
 public:
  // Copies and starts `launch`'s program in `folder`.
  CrashChild(const std::string& folder, const Launch& launch) : m_folder(folder) {
    Expect(launch.copyName);
    const std::string built = GetModuleDirectory() + "\\" + launch.program;
    EXPECT_TRUE(CopyFileA(built.c_str(), m_run.exePath.c_str(), FALSE)) << built;
    std::string commandLine = "\"" + m_run.exePath + "\" " + launch.scenario;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(m_run.exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info)) {
      ADD_FAILURE() << "cannot start " << m_run.exePath;
      return;
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_run.programProcess = info.dwProcessId;
  }
  // Watches the program `processId`, started by someone else from `folder`.
  CrashChild(const std::string& folder, const std::string& exeName, DWORD processId) : m_folder(folder) {
    Expect(exeName);
    m_process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    m_run.programProcess = processId;
  }
  ~CrashChild() {
    if (m_process) {
      TerminateProcess(m_process, 99);
      CloseHandle(m_process);
    }
  }
  CrashChild(const CrashChild&) = delete;
  CrashChild& operator=(const CrashChild&) = delete;

  // Answers the box once it shows; true when the program has ended (or never started).
  bool Poll() {
    if (!m_process) return true;
    for (HWND box : DialogsCaptioned(m_run.exePath)) {
      if (m_run.boxSeen) continue;
      m_run.boxSeen = true;
      m_run.boxTick = GetTickCount();
      GetWindowThreadProcessId(box, &m_run.boxProcess);
      m_run.caption = CaptionOf(box);
      m_run.text = CaptionOf(GetDlgItem(box, 0xFFFF));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0;
  }

  // Waits for the end (a program still running is ended after 30 s) and gathers the report.
  CrashRun Finish() {
    if (m_process) {
      if (WaitForSingleObject(m_process, 30000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << m_run.exePath << " did not end";
        TerminateProcess(m_process, 99);
        WaitForSingleObject(m_process, 5000);
      }
      GetExitCodeProcess(m_process, &m_run.exitCode);
      CloseHandle(m_process);
      m_process = nullptr;
    }
    if (FileExists(m_run.reportPath)) m_run.report = ReadWholeFile(m_run.reportPath);
    m_run.facts = ReadFacts(m_folder + "\\facts.txt");
    return m_run;
  }

 private:
  void Expect(const std::string& exeName) {
    m_run.exeName = exeName;
    m_run.exePath = m_folder + "\\" + exeName;
    m_run.reportPath = m_folder + "\\Crash.rpt";
  }

  std::string m_folder;
  CrashRun m_run;
  HANDLE m_process = nullptr;
};

constexpr DWORD kRunLimitMs = 60000;

// Watches `child` until its program ends (answering its box) or a minute has passed.
CrashRun Watch(CrashChild& child) {
  for (DWORD started = GetTickCount(); !child.Poll() && GetTickCount() - started < kRunLimitMs;) Sleep(50);
  return child.Finish();
}

// Runs `launch` in `dir` and returns what it left.
CrashRun RunCrash(const TempDir& dir, const Launch& launch) {
  CrashChild child(dir.path(), launch);
  return Watch(child);
}

CrashRun RunCrash(const TempDir& dir, const std::string& scenario) { return RunCrash(dir, Launch{scenario}); }

// Runs every launch, each in a folder of its own, `parallel` at a time; the results in order.
std::vector<CrashRun> RunCrashes(const std::vector<Launch>& launches, size_t parallel = 3) {
  struct Running {
    size_t index;
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<CrashChild> child;
    DWORD started;
  };
  std::vector<CrashRun> runs(launches.size());
  std::vector<Running> running;
  size_t next = 0;
  while (next < launches.size() || !running.empty()) {
    while (next < launches.size() && running.size() < parallel) {
      auto dir = std::make_unique<TempDir>();
      auto child = std::make_unique<CrashChild>(dir->path(), launches[next]);
      running.push_back(Running{next++, std::move(dir), std::move(child), GetTickCount()});
    }
    for (auto it = running.begin(); it != running.end();) {
      if (it->child->Poll() || GetTickCount() - it->started > kRunLimitMs) {
        runs[it->index] = it->child->Finish();
        it = running.erase(it);
      } else {
        ++it;
      }
    }
    Sleep(50);
  }
  return runs;
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

std::string StackHeading(unsigned long long threadId) {
  return " -> Call stack (thread " + std::to_string(threadId) + "):";
}

// The frames of one thread's stack, one line each.
std::string StackOf(const CrashRun& run, unsigned long long threadId) {
  std::string stack;
  for (const auto& f : FramesAfter(Lines(run.report), StackHeading(threadId))) stack += f + "\n";
  return stack;
}

void ExpectUnexpectedProblemBox(const CrashRun& run) {
  EXPECT_TRUE(run.boxSeen);
  // Its helper shows it: the failed program's own window system may be stopped for good.
  EXPECT_NE(run.boxProcess, run.programProcess);
  EXPECT_EQ(run.caption, run.exePath);
  EXPECT_EQ(run.text, "Unexpected problem detected in the program \"" + run.exeName + "\".\r\n\r\nSee the report file \"" +
                          run.reportPath + "\" for more info.");
  EXPECT_EQ(run.exitCode, 1u);
}

// What every report must tell truly: the failure in its first line, naming the failing
// thread, whose stack has `frame`; the configuration; no stack words shown as a frame's
// arguments (this is the 64-bit build, where they are none). In the test build of Sondrel
// the main window's modal loop passes the application's instance down: where the report
// shows it, it is the module's own address.
void ExpectTrueReport(const CrashRun& run, const char* header, const char* failingFact, const char* frame) {
  const std::vector<std::string> lines = Lines(run.report);
  ASSERT_FALSE(lines.empty()) << "no report";
  EXPECT_EQ(lines[0].rfind(std::string(header) + " caught at address 0x", 0), 0u) << lines[0];
  const unsigned long long failing = run.Fact(failingFact);
  EXPECT_NE(lines[0].find(" in the thread " + std::to_string(failing) + "."), std::string::npos) << lines[0];
  EXPECT_NE(StackOf(run, failing).find(frame), std::string::npos) << run.report;
  EXPECT_NE(run.report.find(" -> Computer configuration:\r\n        OS type: "), std::string::npos) << run.report;
  EXPECT_EQ(run.report.find(",...)"), std::string::npos) << run.report;
  std::smatch instance;
  if (std::regex_search(run.report, instance, std::regex(R"(AfxWinMain\(HINSTANCE__\*=(\?\?|0x[0-9A-F]{16})\))"))) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "0x%016llX", run.Fact("module_base"));
    EXPECT_TRUE(instance[1] == "??" || instance[1] == expected) << instance[0];
  }
}

// "        <file>(<line>) : <padding><description>"
std::smatch MatchFrame(const std::string& line) {
  static const std::regex frame(R"(^        (.+)\((\d+|\?)\) : +(\S.*)$)");
  std::smatch m;
  std::regex_match(line, m, frame);
  return m;
}

// The text from `heading` up to the next section.
std::string Section(const std::string& report, const std::string& heading) {
  const size_t start = report.find(heading);
  if (start == std::string::npos) return "";
  return report.substr(start, report.find("\r\n -> ", start + heading.size()) - start);
}

}  // namespace

TEST(CrashReport, AccessViolationInAWorkerThread) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, "worker");
  ExpectUnexpectedProblemBox(run);
  EXPECT_EQ(run.Fact("application_after_first_context"), 1u);
  const std::vector<std::string> lines = Lines(run.report);
  ASSERT_GE(lines.size(), 10u) << run.report;

  const unsigned long long crasher = run.Fact("crashing_thread");
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
  EXPECT_NE(top[1].str().find("Failures.cpp"), std::string::npos) << frames[0];
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
  ExpectUnexpectedProblemBox(run);
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
    ExpectUnexpectedProblemBox(run);
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

TEST(CrashReport, UncaughtCppExceptionsCarryTheirTypeAndText) {
  const std::vector<CrashRun> runs = RunCrashes({{"uncaught"}, {"worker-throw"}});
  const char* const sections[] = {
      " -> Uncaught C++ exception:\r\n        Type: std::runtime_error\r\n        Text: nobody catches this\r\n",
      " -> Uncaught C++ exception:\r\n        Type: std::logic_error\r\n        Text: worker gave up\r\n",
  };
  for (size_t i = 0; i < runs.size(); ++i) {
    ExpectUnexpectedProblemBox(runs[i]);
    EXPECT_EQ(runs[i].report.rfind("Unhandled exception 0xE06D7363 (CPP_EXCEPTION)", 0), 0u) << runs[i].report;
    // After the stacks, before the configuration.
    EXPECT_NE(runs[i].report.find(std::string(sections[i]) + " -> Computer configuration:"), std::string::npos)
        << runs[i].report;
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
  ExpectUnexpectedProblemBox(run);
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
  ExpectUnexpectedProblemBox(run);
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
  ExpectUnexpectedProblemBox(run);
}

TEST(CrashReport, SondrelItselfReportsAFailureOnItsInterfaceThread) {
  TempDir dir;
  const CrashRun run = RunCrash(dir, kSondrel);
  ExpectUnexpectedProblemBox(run);
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
  const CrashRun run = RunCrash(dir, Sondrel("worker"));
  ExpectUnexpectedProblemBox(run);
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

// One kind of failure of the matrix below.
struct FailureKind {
  Launch launch;
  const char* header;       // the exception line, up to the address
  const char* failingFact;  // the thread the header names
  const char* frame;        // found in that thread's stack
};

// Runs every kind `runs` times (`sondrelRuns` for the test build of Sondrel), in parallel
// children, and checks each run: the box from the helper, exit code 1, a true report.
void ExpectEveryKindReported(const std::vector<FailureKind>& kinds, int runs, int sondrelRuns) {
  std::vector<const FailureKind*> kindOf;
  std::vector<Launch> launches;
  for (const FailureKind& kind : kinds) {
    for (int i = kind.launch.copyName == kSondrel.copyName ? sondrelRuns : runs; i > 0; --i) {
      launches.push_back(kind.launch);
      kindOf.push_back(&kind);
    }
  }
  const std::vector<CrashRun> results = RunCrashes(launches);
  for (size_t i = 0; i < results.size(); ++i) {
    const FailureKind& kind = *kindOf[i];
    SCOPED_TRACE(kind.launch.copyName + " " + kind.launch.scenario + ", run " + std::to_string(i + 1));
    // A box at all means before the deadline, which would have ended the program.
    ExpectUnexpectedProblemBox(results[i]);
    ExpectTrueReport(results[i], kind.header, kind.failingFact, kind.frame);
  }
  // What a soak run needs to know at a glance.
  for (const FailureKind& kind : kinds) {
    int count = 0, boxes = 0;
    DWORD slowest = 0;
    for (size_t i = 0; i < results.size(); ++i) {
      if (kindOf[i] != &kind) continue;
      ++count;
      boxes += results[i].boxSeen && results[i].exitCode == 1;
      slowest = std::max(slowest, results[i].MsFromFailureToBox());
    }
    std::printf("%s %s: %d runs, %d with the box and exit code 1; the slowest box %lu ms after the failure\n",
                kind.launch.copyName.c_str(), kind.launch.scenario.c_str(), count, boxes,
                static_cast<unsigned long>(slowest));
  }
}

constexpr char kAccessViolation[] = "Unhandled exception 0xC0000005 (ACCESS_VIOLATION)";
constexpr char kStackOverflow[] = "Unhandled exception 0xC00000FD (STACK_OVERFLOW)";
constexpr char kAbort[] = "Unhandled exception 0x40000015 (FATAL_APP_EXIT)";
constexpr char kCppException[] = "Unhandled exception 0xE06D7363 (CPP_EXCEPTION)";
constexpr char kPureVirtual[] = "Unhandled exception 0xE0505643 (PURE_VIRTUAL_CALL)";
constexpr char kInvalidParameter[] = "Unhandled exception 0xC0000417 (INVALID_CRT_PARAMETER)";

// Failures of every kind, each run twice in a child process that must show its box and end
// with exit code 1 within the report's 10-second deadline: the program built without
// optimisation. The lock races run more often, in a test of their own below.
TEST(CrashReport, EveryKindOfFailureIsReportedAndEndsTheProgramInTime) {
  ExpectEveryKindReported(
      {
          {{"main"}, kAccessViolation, "main_thread", "CFoo::Bar(int=5,char*=\"abc\")"},
          {{"worker-fault"}, kAccessViolation, "crashing_thread", "CFoo::Bar(int=5,char*=\"abc\")"},
          {{"worker-overflow"}, kStackOverflow, "crashing_thread", "Recurse(int="},
          {{"abort"}, kAbort, "main_thread", "FailHere(char*=\"abort\")"},
          {{"worker-abort"}, kAbort, "crashing_thread", "AbortInWorker(?)"},
          {{"pure-virtual"}, kPureVirtual, "main_thread", "Shape::Describe(void)"},
          {{"invalid-parameter"}, kInvalidParameter, "main_thread", "FailHere(char*=\"invalid-parameter\")"},
          {{"worker-throw"}, kCppException, "crashing_thread", "ThrowInWorker(?)"},
          {{"window-throw"}, kCppException, "main_thread", "ThrowingWindowProcedure("},
          // A fault in a guarded step (the additional-information hook) ends that step only.
          {{"faulting-hook"}, kAccessViolation, "main_thread", "CFoo::Bar(int=5,"},
      },
      2, 0);
}

// The same kinds in Sondrel itself, its shipped optimised code with a trigger that fails on
// its interface thread or on workers once its window shows.
TEST(CrashReport, EveryKindOfFailureOfSondrelItselfIsReported) {
  ExpectEveryKindReported(
      {
          {kSondrel, kAccessViolation, "main_thread", "CrashOnRequest(int=0,"},
          {Sondrel("worker"), kAccessViolation, "crashing_thread", "FailInWorker(int=7)"},
          {Sondrel("worker-overflow"), kStackOverflow, "crashing_thread", "Recurse(int="},
          {Sondrel("abort"), kAbort, "main_thread", "FailHere(char*=\"abort\")"},
          {Sondrel("worker-abort"), kAbort, "crashing_thread", "AbortInWorker(?)"},
          {Sondrel("pure-virtual"), kPureVirtual, "main_thread", "Shape::Describe(void)"},
          {Sondrel("invalid-parameter"), kInvalidParameter, "main_thread", "FailHere(char*=\"invalid-parameter\")"},
          {Sondrel("worker-throw"), kCppException, "crashing_thread", "ThrowInWorker(?)"},
          {Sondrel("window-throw"), kCppException, "main_thread", "ThrowingDialogProcedure("},
      },
      0, 2);
}

// A crash while other threads keep the process heap's or the loader's lock busy, in both
// programs: a race, run several times by each test run, and in a soak as often as
// SONDREL_CRASH_RUNS says.
TEST(CrashReport, CrashesWhileAnotherThreadHoldsALockShowTheBoxEveryTime) {
  ExpectEveryKindReported(
      {
          {{"heap-busy"}, kAccessViolation, "crashing_thread", "CFoo::Bar(int=5,"},
          {{"loader-busy"}, kAccessViolation, "crashing_thread", "CFoo::Bar(int=5,"},
          {Sondrel("heap-busy"), kAccessViolation, "crashing_thread", "CFoo::Bar(int=5,"},
          {Sondrel("loader-busy"), kAccessViolation, "crashing_thread", "CFoo::Bar(int=5,"},
      },
      EnvironmentNumber("SONDREL_CRASH_RUNS", 4), EnvironmentNumber("SONDREL_CRASH_RUNS", 2));
}

TEST(CrashReport, TwoThreadsFailingAtOnceGiveOneReport) {
  const std::vector<CrashRun> runs = RunCrashes({{"two-at-once"}, {"two-at-once"}, {"two-at-once"},
                                                 Sondrel("two-at-once"), Sondrel("two-at-once")});
  for (size_t i = 0; i < runs.size(); ++i) {
    const CrashRun& run = runs[i];
    SCOPED_TRACE(run.exeName + " run " + std::to_string(i + 1));
    ExpectUnexpectedProblemBox(run);
    size_t headers = 0;
    for (size_t at = 0; (at = run.report.find("Unhandled exception", at)) != std::string::npos; ++at) ++headers;
    EXPECT_EQ(headers, 1u) << run.report;
    const std::vector<std::string> lines = Lines(run.report);
    ASSERT_FALSE(lines.empty());
    const unsigned long long first = run.Fact("first_thread"), second = run.Fact("second_thread");
    const bool firstReported = lines[0].find(" in the thread " + std::to_string(first) + ".") != std::string::npos;
    const unsigned long long other = firstReported ? second : first;
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
  const CrashRun run = RunCrash(dir, "returning-hook");
  EXPECT_FALSE(run.boxSeen);
  EXPECT_EQ(run.exitCode, 0xC0000005u);
  // The previous filter ran with every thread the report had stopped running again, those
  // beyond the report's table too.
  EXPECT_EQ(run.Fact("released_workers"), 70u);
  EXPECT_EQ(run.report.rfind("Unhandled exception 0xC0000005 (ACCESS_VIOLATION)", 0), 0u) << run.report;
  EXPECT_NE(run.report.find(" -> Computer configuration:"), std::string::npos);
}

// A fault inside SondrelFilters.dll on a recording's streaming thread: the real program
// records from the virtual capture device, which hands the graph a buffer whose data cannot
// be read, as a broken driver might; the filter that reads it faults. The report names the
// streaming thread and the filter's function with its file and line (the DLL was loaded
// after start-up).
TEST(CrashReport, AFaultInsideTheFiltersOnARecordingsStreamingThreadIsReported) {
  CFilterTestEnvironment environment;
  const struct {
    const char* fileFormat;
    const char* function;  // in SondrelFilters.dll, where the data is read
    const char* file;
  } formats[] = {
      {"0", "CMp3Encoder::AppendSamples(", "Mp3Encoder.cpp"},  // MP3: the encoder reads the samples itself
      {"1", "CWaveDest::Write(", "WaveDest.cpp"},              // WAV: the writer copies them
  };
  for (int i = 0; i < 4; ++i) {
    const auto& format = formats[i % 2];
    SCOPED_TRACE(std::string("file format ") + format.fileFormat + ", run " + std::to_string(i / 2 + 1));
    TempDir folder;
    RunningProgram program(folder.path(), VirtualDeviceSettings(folder.path(), format.fileFormat));
    ASSERT_NE(program.Window(), nullptr);
    ASSERT_TRUE(program.Click(IDC_RECORD)) << program.BoxText();
    ASSERT_TRUE(environment.capture.WaitForFrames(kTestDevice, 4410, 20000)) << "the recording never ran";
    environment.capture.DeliverUnreadableBuffer(kTestDevice);
    CrashChild child(folder.path(), "Sondrel.exe", program.Id());
    const CrashRun run = Watch(child);
    ExpectUnexpectedProblemBox(run);
    std::smatch header;
    ASSERT_TRUE(std::regex_search(run.report, header,
                                  std::regex(R"(^Unhandled exception 0xC0000005 \(ACCESS_VIOLATION\) caught at address )"
                                             R"(0x[0-9A-F]{16} in the thread (\d+)\.)")))
        << run.report;
    const std::string stack = StackOf(run, std::stoull(header[1].str()));
    EXPECT_NE(stack.find("CTestCaptureFilter::StreamLoop(void)"), std::string::npos) << "the streaming thread\n" << stack;
    const size_t at = stack.find(format.function);
    ASSERT_NE(at, std::string::npos) << stack;
    const std::string line = stack.substr(stack.rfind('\n', at) + 1, stack.find('\n', at) - stack.rfind('\n', at) - 1);
    const std::smatch frame = MatchFrame(line);
    ASSERT_FALSE(frame.empty()) << line;
    EXPECT_NE(frame[1].str().find(format.file), std::string::npos) << line;
    EXPECT_NE(frame[2].str(), "?") << line;
    EXPECT_EQ(run.report.find(",...)"), std::string::npos) << run.report;
  }
}
