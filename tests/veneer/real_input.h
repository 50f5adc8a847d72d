// Real input for window tests: SendInput from a helper thread while the test's thread runs the message
// loop, so that events take the system's own path (hit testing, capture, hover tracking, the move loop).
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>

namespace VeneerTest {

// Delivers messages as the installer's loop does (through the toolkit's pre-translation) until `done`
// holds, or until the time is up (false then).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Runs `script` on a helper thread and pumps this thread's messages until the script has finished and
// the queue is drained. False on timeout.
bool RunWhilePumping(const std::function<void()>& script, DWORD timeoutMs = 20000);

// Input steps for scripts; each waits a little for the UI thread to take it in.
void MouseTo(int screenX, int screenY);
void MouseButton(bool down);
// Presses the keys in order and releases them in reverse, as a chord such as Alt+F4.
void PressKeys(std::initializer_list<WORD> keys);
void Settle(DWORD ms = 120);

// Shows the window activated and makes it the foreground window, as a user's click would.
void BringToFront(HWND window);

}  // namespace VeneerTest
