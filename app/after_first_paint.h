#pragma once
// Work that must not delay the first look at a window (starting the web
// engine, for one) waits until the window has painted once.

#include <functional>

class QWidget;

// Runs `work` from the event loop right after `window` has painted for the
// first time; at once (from the event loop) if it is not going to be shown
// (hidden), so that the work is never lost.
void runAfterFirstPaint(QWidget *window, std::function<void()> work);
