#include "tests/ui/ResourceGrowth.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/ProcessResources.h"

void ExpectNoGrowthOver(const char* what, int warmUp, int count, const std::function<void(int)>& cycle) {
  for (int i = 0; i < warmUp && !testing::Test::HasFatalFailure(); ++i) cycle(i);
  const ProcessResources before = ProcessResources::Now();
  for (int i = 0; i < count && !testing::Test::HasFatalFailure(); ++i) cycle(warmUp + i);
  if (testing::Test::HasFatalFailure()) return;
  const ProcessResources after = ProcessResources::Now();
  std::printf("%s, %d cycles after %d to warm up:\n  before %s\n  after  %s\n", what, count, warmUp,
              before.Describe().c_str(), after.Describe().c_str());
  // A leak of one object per cycle shows over 20 cycles already. Wine 8.0 itself leaks an
  // event for every filter graph released and registry keys for every walk of a device
  // category and every device bound (measured with nothing but those COM calls); those two
  // types only are left to the figures printed.
  for (const auto& [type, count] : after.handlesByType) {
    if (type == "Event" || type == "Key") continue;
    const auto was = before.handlesByType.find(type);
    EXPECT_LE(count - (was == before.handlesByType.end() ? 0 : was->second), 2) << type << " handles grew";
  }
  EXPECT_LE(after.gdiObjects - before.gdiObjects, 2);
  EXPECT_LE(after.userObjects - before.userObjects, 2);
  EXPECT_LE(after.threads - before.threads, 2);
  EXPECT_LE(after.privateBytes - before.privateBytes, 4 << 20);
}
