#pragma once

#include "catalogue/datafolder.h"

// The window's side of a wait for the data folder's lock, for CatalogueEntries::lockWait. Input
// runs all the while, so the windows never freeze; after a moment a small dialog over the active
// window says what is waited for and how long, with a "취소" button that stops the wait. It goes
// when the wait ends.
[[nodiscard]] LockWait shownLockWait();
