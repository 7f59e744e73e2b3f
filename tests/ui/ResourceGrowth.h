#pragma once
// A check that an action repeated many times leaves nothing behind in this process.
#include <functional>

// Repeats `cycle` `count` times after `warmUp` more, then checks that nothing grew beyond
// small allowances (Wine's own caches and thread pools move a little) and prints the figures
// before and after, the handles by type. `what` names the cycle in the output.
void ExpectNoGrowthOver(const char* what, int warmUp, int count, const std::function<void(int)>& cycle);
