#pragma once

namespace sorvin {

// Where the open folder's record stands once the saves asked for have been waited for.
enum class RecordSaving {
    written,      // everything decided is on disk
    failed,       // the last save of the open folder was not written (the disk refused it, or the
                  // record is one this program must not write over)
    stillWriting, // a save was still being written when the wait ran out; it goes on
};

} // namespace sorvin
