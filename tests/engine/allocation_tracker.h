// Counts heap blocks that operator new handed out on threads marked for tracking and that nobody has
// deleted yet, whichever thread deletes them. Linking allocation_tracker.cpp replaces the program's global
// operator new and delete.
#pragma once

// Starts a new count at zero; blocks of earlier counts no longer count when they are freed.
void BeginAllocationCount();
void TrackAllocationsOnThisThread(bool enabled);
long LiveTrackedAllocations();
