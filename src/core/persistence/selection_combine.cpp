#include "persistence/selection_combine.hpp"

#include "persistence/selection_record_photos.hpp"

namespace sorvin::SelectionCombine {

namespace {

const SelectionStamp* stampOf(const SelectionStamps& stamps, const std::string& path) {
    const auto found = stamps.find(path);
    return found == stamps.end() ? nullptr : &found->second;
}

// The rule of take, over paths given in order by any range (a projection gives each path).
template <typename Range, typename Path>
void takeEach(StampedRecord& into, const SelectionRecord& from, const SelectionStamps& fromStamps,
              const Range& range, const Path& pathOf) {
    std::set<std::string> taken;
    for (const auto& item : range) {
        const std::string& path = pathOf(item);
        const SelectionStamp* theirs = stampOf(fromStamps, path);
        const SelectionStamp* ours = stampOf(into.stamps, path);
        if (ours && (!theirs || *ours > *theirs)) continue;
        taken.insert(taken.end(), path);
        if (theirs) into.stamps[path] = *theirs;
    }
    SelectionRecordPhotos::setAll(into.record, taken, from);
}

const std::string& itself(const std::string& path) {
    return path;
}

const std::string& keyOf(const SelectionStamps::value_type& entry) {
    return entry.first;
}

} // namespace

void take(StampedRecord& into, const SelectionRecord& from, const SelectionStamps& fromStamps,
          const std::set<std::string>& paths) {
    takeEach(into, from, fromStamps, paths, itself);
}

void applyChanges(StampedRecord& record, const SelectionRecord& mine, const SelectionStamps& changes) {
    takeEach(record, mine, changes, changes, keyOf);
    record.record.version = mine.version;
    record.record.app = mine.app;
    record.record.updatedAt = mine.updatedAt;
    record.record.cursor = mine.cursor;
}

StampedRecord combined(const StampedRecord& base, const StampedRecord& there, const SelectionRecord& mine,
                       const SelectionStamps& changes, const SelectionStamp& takenIn) {
    StampedRecord result = there;
    if (there.notesStamps) {
        // Base's changes that the record there has not seen.
        takeEach(result, base.record, base.stamps, base.stamps, keyOf);
    } else {
        result.stamps = base.stamps;
        for (const std::string& path : SelectionRecordPhotos::differing(base.record, there.record))
            result.stamps[path] = takenIn;
        result.notesStamps = true;
    }
    applyChanges(result, mine, changes);
    return result;
}

void orderAfter(SelectionStamps& changes, std::set<std::string>& ordered, const StampedRecord& there,
                const SelectionRecord& mine, const std::function<SelectionStamp()>& later) {
    for (auto& [path, stamp] : changes) {
        const SelectionStamp* theirs = stampOf(there.stamps, path);
        if (!theirs || !(*theirs > stamp) || ordered.contains(path)) continue;
        if (SelectionRecordPhotos::of(there.record, path) == SelectionRecordPhotos::of(mine, path)) continue;
        stamp = later();
        ordered.insert(path);
    }
}

bool holds(const StampedRecord& there, const StampedRecord& wanted) {
    for (const auto& [path, stamp] : wanted.stamps) {
        const SelectionStamp* stampThere = stampOf(there.stamps, path);
        if (!stampThere || *stampThere < stamp) return false;
    }
    return SelectionRecordPhotos::differing(there.record, wanted.record).empty();
}

std::set<std::string> held(const StampedRecord& file) {
    std::set<std::string> paths = SelectionRecordPhotos::paths(file.record);
    for (const auto& entry : file.stamps)
        paths.insert(entry.first);
    return paths;
}

StampedRecord stampedAll(StampedRecord file, const SelectionStamp& stamp) {
    if (file.notesStamps) return file;
    for (const std::string& path : SelectionRecordPhotos::paths(file.record))
        file.stamps[path] = stamp;
    file.notesStamps = true;
    return file;
}

} // namespace sorvin::SelectionCombine
