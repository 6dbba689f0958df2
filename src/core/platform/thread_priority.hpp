#pragma once

namespace sorvin {

// Puts the calling thread below the main thread: a step the user waits for on the main thread
// takes a processor from it at once instead of waiting for its turn to end. A lower priority alone
// does not do it: the scheduler still lets such a thread finish its turn, and the main thread woke
// to wait 10 to 13 ms for a processor while seven workers decoded. Marked as batch work, the thread
// no longer holds the processor against the main thread. Its priority is only two steps of nice
// below the main thread's: at nice 10, any busy program of the same session took nine tenths of
// the machine from the workers, and a held key passed 50 of 60 photos before they were decoded.
// The priority is never asked back, and threads it starts (LibRaw's) inherit it.
void runBelowMainThread();

} // namespace sorvin
