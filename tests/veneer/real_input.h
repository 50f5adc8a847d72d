// Real input for window tests: SendInput from a helper thread while the test's thread runs the message
// loop, so that events take the system's own path (hit testing, capture, hover tracking, the move loop).
#pragma once

#include <windows.h>

#include <functional>

namespace VeneerTest {

// Runs `script` on a helper thread and pumps this thread's messages (through the toolkit's
// pre-translation) until the script has finished and the queue is drained. False on timeout.
bool RunWhilePumping(const std::function<void()>& script, DWORD timeoutMs = 20000);

// Input steps for scripts; each waits a little for the UI thread to take it in.
void MouseTo(int screenX, int screenY);
void MouseButton(bool down);
void KeyDown(WORD key);
void KeyUp(WORD key);
void Settle(DWORD ms = 120);

// Shows the window activated and makes it the foreground window, as a user's click would.
void BringToFront(HWND window);

}  // namespace VeneerTest
