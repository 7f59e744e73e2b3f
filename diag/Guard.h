#pragma once
// Guarded steps of a report: a structured exception raised inside one (an access violation
// while walking a corrupted stack, say) abandons that step only. The compiler offers no
// __try here, so a vectored handler sends the faulting thread back to where its innermost
// guard began. Destructors of the abandoned code do not run, so guarded code keeps no
// resources whose release matters more than finishing the report.

namespace __dbg_util {

// Prepares the handler; called once, at start-up.
void InstallGuardHandler();

// Runs fn(arg); false when an exception abandoned it.
bool RunGuarded(void (*fn)(void*), void* arg);

template <class F>
bool Guarded(F&& f) {
  return RunGuarded([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

}  // namespace __dbg_util
