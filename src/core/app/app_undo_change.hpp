#pragma once

#include "model/manual_crop.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/photo_parameter.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"
#include "model/retouch_slot.hpp"
#include "model/retouch_state.hpp"

#include <string>
#include <variant>

namespace sorvin {

// One undoable change of a photo's edit state: the row it belongs to and the value that restoring
// it puts back.
namespace AppUndo {
struct Parameters {
    std::string path;
    RetouchSlot slot;
    PhotoSource source;
    PhotoParameters parameters;
    bool operator==(const Parameters&) const = default;
};
struct Rotation {
    std::string path;
    RetouchSlot slot;
    double degrees;
    bool operator==(const Rotation&) const = default;
};
struct Crop {
    std::string path;
    RetouchSlot slot;
    ManualCrop crop;
    bool operator==(const Crop&) const = default;
};
// Restoring toggles the heart again.
struct Heart {
    std::string path;
    RetouchSlot slot;
    bool operator==(const Heart&) const = default;
};
struct Source {
    std::string path;
    RetouchSlot slot;
    PhotoSource source;
    bool operator==(const Source&) const = default;
};
// Restoring removes the photo's copy B.
struct RetouchCreated {
    std::string path;
    bool operator==(const RetouchCreated&) const = default;
};
// Restoring puts the copy B back.
struct RetouchDeleted {
    std::string path;
    RetouchState state;
    bool operator==(const RetouchDeleted&) const = default;
};
} // namespace AppUndo

using AppUndoChange = std::variant<AppUndo::Parameters, AppUndo::Rotation, AppUndo::Crop, AppUndo::Heart,
                                   AppUndo::Source, AppUndo::RetouchCreated, AppUndo::RetouchDeleted>;

// What a parameter edit touched, so that rapid edits of one thing merge and edits of different
// things do not.
struct AppUndoParameterSubject {
    enum class Kind { parameter, allParameters, maskShape };
    Kind kind = Kind::allParameters;
    PhotoParameter parameter{}; // only for `parameter`

    static AppUndoParameterSubject of(PhotoParameter p) { return {Kind::parameter, p}; }
    static AppUndoParameterSubject all() { return {Kind::allParameters, {}}; }
    static AppUndoParameterSubject maskShape() { return {Kind::maskShape, {}}; }
    bool operator==(const AppUndoParameterSubject&) const = default;
};

// Edits under equal keys no more than the coalescing window apart form one undo step.
struct AppUndoCoalescingKey {
    enum class Kind { parameters, rotation, crop };
    Kind kind = Kind::parameters;
    std::string path;
    RetouchSlot slot = RetouchSlot::a;
    PhotoSource source = PhotoSource::jpeg; // parameters only
    AppUndoParameterSubject subject;        // parameters only
    ParameterEditTarget target;             // parameters only

    static AppUndoCoalescingKey parameters(std::string path, RetouchSlot slot, PhotoSource source,
                                           AppUndoParameterSubject subject, ParameterEditTarget target) {
        return {Kind::parameters, std::move(path), slot, source, subject, target};
    }
    static AppUndoCoalescingKey rotation(std::string path, RetouchSlot slot) {
        return {Kind::rotation, std::move(path), slot, {}, {}, {}};
    }
    static AppUndoCoalescingKey crop(std::string path, RetouchSlot slot) {
        return {Kind::crop, std::move(path), slot, {}, {}, {}};
    }
    bool operator==(const AppUndoCoalescingKey&) const = default;
};

// The last registered or merged edit.
struct AppUndoCoalescingState {
    AppUndoCoalescingKey key;
    double lastChangeTime = 0;
};

} // namespace sorvin
