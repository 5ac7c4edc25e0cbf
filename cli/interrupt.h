#pragma once

// Ctrl+C (SIGINT) and SIGTERM while a scan runs: the first asks it to stop at its next check,
// so that it ends cleanly and saves nothing; a second ends the program at once, as without the
// guard (a change to the data folder is ordered so that even that loses no disc).
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // True once a signal came while a guard was set.
    [[nodiscard]] static bool interrupted();
};
