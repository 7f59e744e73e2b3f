#pragma once
// Failures the crash tests cause on purpose, shared by the programs that fail for them:
// crash_program (built without optimisation) and the test build of Sondrel itself. Before
// it fails, a program writes "facts.txt" beside itself (thread ids, the line that fails) so
// that the test can check the report against them.
#include <windows.h>

// A fact for the test ("name=value"), kept until WriteFacts writes them all, with the
// moment it writes them ("written_tick", GetTickCount).
void Fact(const char* name, unsigned long long value);
void WriteFacts();

class CFoo {
 public:
  // Fails with an access violation (fact "crash_line").
  void Bar(int count, const char* text);
  // Asks for a deadlock report (fact "deadlock_line"), then returns.
  void Wait(int count, const char* text);
  int m_value = 7;
};

// Fails on the calling thread as `scenario` says, and never returns then: "stack-overflow",
// "abort", "uncaught" (a C++ exception), "pure-virtual", "invalid-parameter" (a runtime
// function's parameter). Returns for any other scenario.
void FailHere(const char* scenario);

// Starts the threads that fail as `scenario` says and returns: "worker-fault",
// "worker-overflow", "worker-abort", "worker-throw" (one worker; fact "crashing_thread"),
// "heap-busy" and "loader-busy" (a worker's access violation while two threads keep the
// heap's or the loader's lock busy; "crashing_thread"), "two-at-once" (two workers fail at
// the same moment; "first_thread", "second_thread"). False for any other scenario.
bool StartFailingWorkers(const char* scenario);
