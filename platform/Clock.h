#pragma once
// The clock service: every read of the time of day, the tick count and every wait goes
// through here, so tests can fix the time and skip waits.
#include <QDateTime>
#include <optional>

namespace Clock {
// The current local date and time (or the fixed time a test has set).
QDateTime Now();
// Fixes the time that Now() returns; std::nullopt returns to the system clock.
void SetFixedNow(std::optional<QDateTime> when);
// Milliseconds since an arbitrary start, like the system tick count.
quint64 TickCount();
// Waits the given milliseconds while processing events (never spinning).
// With waits skipped (tests) it only processes pending events.
void Wait(int milliseconds);
void SetSkipWaits(bool skip);
bool SkipWaits();
// Tests: a tick count that stands still until moved on; a wait then moves it on by its
// length instead of waiting, and processes the pending events once. False returns to the
// system's tick count.
void SetFakeTicks(bool on);
void AdvanceTicks(quint64 milliseconds);
}  // namespace Clock
