// Ending the program at once: the process stops where it is; no further event
// of any window runs and nothing more is saved.
#pragma once

#include <functional>

namespace zendrel {

// Ends the process with exit code 0. When a test has installed a hook, the
// hook runs instead and EndProgramNow returns: callers return straight after
// calling it, doing nothing more.
void EndProgramNow();

// Installs (or, with an empty function, removes) the hook that in-process
// tests use to observe EndProgramNow instead of dying with it.
void SetEndProgramHookForTesting(std::function<void()> hook);

}  // namespace zendrel
