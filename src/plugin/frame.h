// The frame about every export that touches PluginState: a bounded wait for the plugin mutex
// on the way in, exactly one release on the way out.
#ifndef NIMBREL_FRAME_H
#define NIMBREL_FRAME_H

// How long an export waits for the plugin mutex, in milliseconds.
#define FRAME_WAIT_MS 5000u

// What an export answers when the wait runs out: the expression and radar functions, and the
// icon functions.
#define TIMEOUT_TEXT "ERROR(9): Mutex timeout."
#define ICON_TIMEOUT_TEXT "mutex timeout"

typedef enum FrameEntry {
    FRAME_TIMED_OUT = 0, // not entered: return the export's time-out text, touch nothing
    FRAME_OWNED = 1,     // entered, holding the mutex (also after an abandoned holder)
    FRAME_UNLOCKED = 2   // entered without a usable mutex; nothing to release
} FrameEntry;

// Waits for the plugin mutex. Every result but FRAME_TIMED_OUT counts as entered.
FrameEntry EnterFrame(void);

// Releases what EnterFrame took. Call exactly once for every entered frame.
void LeaveFrame(FrameEntry entry);

#endif
