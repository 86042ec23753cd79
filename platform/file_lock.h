#pragma once
// Advisory whole-file locks (flock) that saves and loads of one file take, so
// two saves never write it at once and a load never reads half of a save.
// A lock lives as long as the descriptor it was taken on.
#include <chrono>

namespace vrt::platform {

enum class LockKind { Shared, Exclusive };

// Takes the lock on `fd`, trying again until FileLockWait() has passed.
// False when another holder kept it all that time. A file system that has
// no such locks counts as locked.
bool LockWithinWait(int fd, LockKind kind);
// Takes the lock when nobody holds a conflicting one; never waits.
bool TryLock(int fd, LockKind kind);
void Unlock(int fd);

// How long a save or load waits for the file: a few seconds.
std::chrono::milliseconds FileLockWait();
// Test hook: another wait; zero or less restores the default.
void SetFileLockWait(std::chrono::milliseconds wait);

}  // namespace vrt::platform
