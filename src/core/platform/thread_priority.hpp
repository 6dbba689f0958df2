#pragma once

namespace sorvin {

// Puts the calling thread below the main thread: a step the user waits for on the main thread
// takes a processor from it at once instead of waiting for its turn to end. Marked as batch work,
// the thread no longer holds the processor against the main thread; without it the main thread
// woke to wait 10 to 13 ms for a processor while seven workers decoded. Its priority stays the
// program's own: a lower one (nice 10) let any other busy program of the session take nine
// tenths of the machine from the workers, and a held key then passed 50 of 60 photos before
// they were decoded. Never asked back; threads it starts (LibRaw's) inherit it.
void runBelowMainThread();

} // namespace sorvin
