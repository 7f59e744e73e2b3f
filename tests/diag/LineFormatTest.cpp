// The report lines' prefix, the report path and the time arithmetic behind time stamps.
#include "diag/LineFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "diag/Options.h"

using namespace __dbg_util;

namespace {

std::string Prefixed(uint32_t options, const LinePrefixParts& parts, const char* message) {
  FixedText<4096> out;
  ComposePrefixedLine(out, options, parts, message);
  return out.c_str();
}

LinePrefixParts SampleParts() {
  LinePrefixParts parts;
  parts.sourceFile = "rec.cpp";
  parts.sourceLine = 42;
  parts.time = TimeOfDay{9, 5, 7, 12, 345};
  parts.processId = 77;
  parts.threadId = 123;
  parts.processCpu = CpuTime{3, 4, 5};
  parts.threadCpu = CpuTime{1, 2, 3};
  parts.caller = "CFoo::Bar(int=5)";
  return parts;
}

}  // namespace

TEST(LinePrefix, ComposesThePartsTheOptionWordAsks) {
  const struct {
    uint32_t options;
    const char* expected;
  } cases[] = {
      {0, "abc"},
      {DBG_OPT_THREAD_ID, "[00123] : abc"},
      {DBG_OPT_THREAD_ID | DBG_OPT_HEX_IDS, "[007B] : abc"},
      {DBG_OPT_PROCESS_ID, "[00077] : abc"},
      {DBG_OPT_PROCESS_ID | DBG_OPT_THREAD_ID, "[00077,00123] : abc"},
      {DBG_OPT_PROCESS_ID | DBG_OPT_THREAD_ID | DBG_OPT_HEX_IDS, "[004D,007B] : abc"},
      {DBG_OPT_TIME, "09:05:07.012 : abc"},
      {DBG_OPT_TIME | DBG_OPT_MICROSECONDS, "09:05:07:012.345 : abc"},
      {DBG_DEFAULT_CHANNEL_WORD, "09:05:07:012.345 [00123] : abc"},
      // The location already ends in ": ", so no second one follows.
      {DBG_OPT_LOCATION, "rec.cpp(42) : abc"},
      {DBG_OPT_LOCATION | DBG_OPT_THREAD_ID, "rec.cpp(42) : [00123] : abc"},
      {DBG_OPT_FUNC_NAME, "CFoo::Bar(int=5) : abc"},
      {DBG_OPT_PROCESS_CPU, "{0003.004} : abc"},
      {DBG_OPT_THREAD_CPU | DBG_OPT_MICROSECONDS, "{0001:002.003} : abc"},
      {DBG_OPT_PROCESS_CPU | DBG_OPT_THREAD_CPU, "{0003.004,0001.002} : abc"},
      {DBG_OPT_PROCESS_CPU | DBG_OPT_THREAD_CPU | DBG_OPT_MICROSECONDS, "{0003:004.005,0001:002.003} : abc"},
      // Busy CPU time counts kernel plus user time and never shows microseconds.
      {DBG_OPT_THREAD_CPU | DBG_OPT_MICROSECONDS | DBG_OPT_CPU_BUSY, "{0001.002} : abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Prefixed(c.options, SampleParts(), "abc"), c.expected) << std::hex << c.options;
}

TEST(LinePrefix, CapsTheMessageAndStopsBeforeAnOverlongCallerDescription) {
  const std::string longMessage(3000, 'm');
  EXPECT_EQ(Prefixed(0, SampleParts(), longMessage.c_str()).size(), 1024u);

  const std::string longCaller(20480, 'c');
  LinePrefixParts parts = SampleParts();
  parts.caller = longCaller.c_str();
  // The line keeps the parts before the description and gets neither it nor the message.
  EXPECT_EQ(Prefixed(DBG_OPT_THREAD_ID | DBG_OPT_FUNC_NAME, parts, "abc"), "[00123] ");
}

TEST(LinePrefix, NeverWritesPastTheBuffer) {
  char storage[16];
  storage[15] = 'X';
  TextBuffer small(storage, 15);
  ComposePrefixedLine(small, DBG_DEFAULT_CHANNEL_WORD, SampleParts(), "a long message that does not fit");
  EXPECT_EQ(small.size(), 14u);
  EXPECT_STREQ(small.c_str(), "09:05:07:012.3");
  EXPECT_EQ(storage[15], 'X');
}

TEST(ReportPath, ReplacesTheExecutablesNameAndStaysInItsBuffer) {
  const struct {
    const char* exe;
    const char* expected;
  } cases[] = {
      {"C:\\Program Files\\Sondrel\\Sondrel.exe", "C:\\Program Files\\Sondrel\\Crash.rpt"},
      {"/home/user/Sondrel.exe", "/home/user/Crash.rpt"},
      {"C:\\mixed/Sondrel.exe", "C:\\mixed/Crash.rpt"},
      {"Sondrel.exe", "Crash.rpt"},
      {"", "Crash.rpt"},
  };
  for (const auto& c : cases) {
    char path[260] = {};
    snprintf(path, sizeof path, "%s", c.exe);
    MakeReportPath(path, sizeof path);
    EXPECT_STREQ(path, c.expected) << c.exe;
  }

  // A folder that fills the buffer: the name is cut, the buffer never overrun.
  char path[32 + 1];
  path[32] = 'X';
  const char exe[] = "C:\\a-rather-long-folder\\n.exe";
  std::memcpy(path, exe, sizeof exe);
  MakeReportPath(path, 32);
  EXPECT_STREQ(path, "C:\\a-rather-long-folder\\Crash.r");
  EXPECT_EQ(path[32], 'X');
}

TEST(ReportPath, FileNamePartFollowsTheLastSeparator) {
  EXPECT_STREQ(FileNamePart("C:\\dir\\Crash.rpt"), "Crash.rpt");
  EXPECT_STREQ(FileNamePart("C:/dir\\sub/Sondrel.exe"), "Sondrel.exe");
  EXPECT_STREQ(FileNamePart("Sondrel.exe"), "Sondrel.exe");
  EXPECT_STREQ(FileNamePart(""), "");
}

TEST(TimeBase, TimeOfDayAndCpuFieldsFromHundredNanosecondUnits) {
  // 1 January 2024 13:45:56.789012 counted from 1601, in 100-ns units.
  const uint64_t t = 133485408000000000ull + ((13ull * 3600 + 45 * 60 + 56) * 1000000 + 789012) * 10;
  const TimeOfDay d = TimeOfDayFrom100ns(t);
  EXPECT_EQ(d.hours, 13u);
  EXPECT_EQ(d.minutes, 45u);
  EXPECT_EQ(d.seconds, 56u);
  EXPECT_EQ(d.milliseconds, 789u);
  EXPECT_EQ(d.microseconds, 12u);

  const CpuTime cpu = CpuTimeFrom100ns((1234ull * 1000000 + 567 * 1000 + 891) * 10);
  EXPECT_EQ(cpu.seconds, 234u) << "seconds wrap at 1000";
  EXPECT_EQ(cpu.milliseconds, 567u);
  EXPECT_EQ(cpu.microseconds, 891u);
}

TEST(TimeBase, CounterConversionHoldsAfterDaysOfUptime) {
  EXPECT_EQ(CounterTo100ns(3579545, 3579545), 10000000u);
  EXPECT_EQ(CounterTo100ns(0, 10000000), 0u);
  EXPECT_EQ(CounterTo100ns(1, 0), 0u) << "no counter";
  // Thirty days at 10 MHz: counter times 10,000,000 no longer fits in 64 bits.
  const uint64_t ticks = 30ull * 86400 * 10000000;
  EXPECT_EQ(CounterTo100ns(ticks, 10000000), ticks);
  EXPECT_EQ(CounterTo100ns(30ull * 86400 * 3579545 + 1, 3579545), 30ull * 86400 * 10000000 + 2);
}
