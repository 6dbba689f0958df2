#pragma once

#include "persistence/selection_record.hpp"
#include "persistence/selection_stamps.hpp"

#include <functional>
#include <set>
#include <string>

namespace sorvin {

// A record as a file holds it, with the stamps it notes. A record that notes no stamps at all was
// written by a version before them: its values are all it tells.
struct StampedRecord {
    SelectionRecord record;
    SelectionStamps stamps;
    bool notesStamps = false;

    bool operator==(const StampedRecord&) const = default;
};

// How records that two copies of the program wrote meet, photo by photo: the one rule for another
// writer's record, a record exchanged out, the fallback and the files beside the record.
namespace SelectionCombine {

// The photos named take the values `from` gives them, with its stamps, except those whose stamp
// in `into` is later: those were changed there after `from`'s change was seen. A photo that
// `from` stamps is taken over one that `into` does not.
void take(StampedRecord& into, const SelectionRecord& from, const SelectionStamps& fromStamps,
          const std::set<std::string>& paths);

// This copy's changes (the photos `changes` stamps, with the values of `mine`) taken into the
// record by that rule; the cursor and time are this copy's.
void applyChanges(StampedRecord& record, const SelectionRecord& mine, const SelectionStamps& changes);

// What a location should hold when this copy's changes meet the record found there. `base` is
// what this copy last read or wrote there; `mine` its values now, of which the photos `changes`
// stamps were changed here since. A photo this copy did not change takes the values there, unless
// the record there notes stamps and holds an older change of it than `base` does (a writer that had
// not yet seen base's change wrote it): `base`'s stay. A photo changed here takes this copy's
// values, unless the record there changed it too, and later. A record of an earlier version orders
// nothing: each photo it holds otherwise than `base` is its change, taken in with the stamp
// `takenIn`. The cursor and time are this copy's.
StampedRecord combined(const StampedRecord& base, const StampedRecord& there, const SelectionRecord& mine,
                       const SelectionStamps& changes, const SelectionStamp& takenIn);

// A change this copy writes comes after every change of the photo it met before writing it: where
// `there` changed a photo this copy changes, later by the stamps and to other values, this copy's
// change takes the stamp `later` gives (above every stamp seen). Once a photo in a save, so that
// two copies saving one photo at once end on one of the two changes.
void orderAfter(SelectionStamps& changes, std::set<std::string>& ordered, const StampedRecord& there,
                const SelectionRecord& mine, const std::function<SelectionStamp()>& later);

// Whether `there` holds everything `wanted` does: the same values of every photo, and every stamp
// of `wanted` as late there, so that nothing more need be written over it.
bool holds(const StampedRecord& there, const StampedRecord& wanted);

// The photos a file beside the record holds, which are all it gives: those it lists, and those
// its stamps name (set back to the defaults where it was written). A file of an earlier version
// notes no stamps: its photos are stamped `stamp` as they are taken in.
std::set<std::string> held(const StampedRecord& file);
StampedRecord stampedAll(StampedRecord file, const SelectionStamp& stamp);

} // namespace SelectionCombine

} // namespace sorvin
