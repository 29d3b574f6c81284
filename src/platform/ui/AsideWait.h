#pragma once

#include <functional>

namespace rt::ui {

// Runs work on another thread while this one, the windows' thread, keeps them painted: back
// at once when the work ends, else every 50 ms a call of `look` (the waiting side's progress,
// its stop). Until a modal progress dialog is up the operator's input waits (a second command
// would start a second piece of work on a connection at work); once one is, it takes its own.
// Returns when the work has ended; `work` and `look` must outlive the call.
class AsideWait
{
public:
    static void run(const std::function<void()> &work, const std::function<void()> &look);
};

} // namespace rt::ui
