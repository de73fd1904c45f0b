#include "end_program.h"

#include <windows.h>

#include <utility>

namespace zendrel {

namespace {

std::function<void()>& Hook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void EndProgramNow() {
    if (Hook()) {
        Hook()();
        return;
    }
    ExitProcess(0);
}

void SetEndProgramHookForTesting(std::function<void()> hook) {
    Hook() = std::move(hook);
}

}  // namespace zendrel
