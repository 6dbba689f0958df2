#pragma once

namespace sorvin {

// Where the records stand once the saves asked for have been waited for: the open folder's, and
// those of folders left whose last save failed.
enum class RecordSaving {
    written,      // everything decided is on disk
    failed,       // the last save of the open folder, or of a folder left, was not written (the
                  // disk refused it, or the record is one this program must not write over)
    stillWriting, // a save was still being written when the wait ran out; it goes on
    keptBeside,   // written, but beside the record, which could not take it: the file is named,
                  // and the next opening of the folder takes it in
};

} // namespace sorvin
