#pragma once

#include "library/library_results.hpp"
#include "library/photo_library_view_cache.hpp"
#include "library/shared_path_table.hpp"
#include "library/zoom_state.hpp"
#include "model/manual_crop.hpp"
#include "model/mask_kind.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"
#include "model/photo_sort_key.hpp"
#include "model/retouch_cursor.hpp"
#include "model/retouch_slot.hpp"
#include "model/retouch_state.hpp"
#include "platform/random_generator.hpp"
#include "platform/signal.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sorvin {

// The published fields of a library, as bits of the set its change signal carries.
enum class LibraryField : std::uint32_t {
    photos = 1u << 0,
    hearts = 1u << 1,
    rotations = 1u << 2,
    crops = 1u << 3,
    parameters = 1u << 4,
    parametersRaw = 1u << 5,
    sources = 1u << 6,
    retouchesB = 1u << 7,
    cursorIndex = 1u << 8,
    currentSlot = 1u << 9,
    isFiltered = 1u << 10,
    zoomState = 1u << 11,
    sortKey = 1u << 12,
    sortAscending = 1u << 13,
    sortRevision = 1u << 14,
};

class LibraryFields {
public:
    constexpr LibraryFields() = default;
    constexpr LibraryFields(LibraryField field) : bits_(static_cast<std::uint32_t>(field)) {}
    constexpr LibraryFields operator|(LibraryFields other) const {
        return LibraryFields(bits_ | other.bits_);
    }
    constexpr LibraryFields& operator|=(LibraryFields other) { return *this = *this | other; }
    constexpr bool contains(LibraryField field) const { return bits_ & static_cast<std::uint32_t>(field); }
    constexpr bool empty() const { return bits_ == 0; }
    friend constexpr bool operator==(LibraryFields, LibraryFields) = default;

private:
    constexpr explicit LibraryFields(std::uint32_t bits) : bits_(bits) {}
    std::uint32_t bits_ = 0;
};

constexpr LibraryFields operator|(LibraryField a, LibraryField b) {
    return LibraryFields(a) | b;
}

// What the folder's record hands the library when it is built; every table keyed by relative path.
struct PhotoLibraryRestoration {
    PathSet hearts;
    PathMap<double> rotations;
    PathMap<ManualCrop> crops;
    PathMap<int> brightness; // the per-photo brightness of records of the older layout
    PathMap<PhotoParameters> parameters;
    PathMap<PhotoParameters> parametersRaw;
    PathMap<PhotoSource> sources;
    PathMap<RetouchState> retouchesB;
    std::optional<std::string> cursorPath;
};

// The model of one opened folder: its photos in list order and every edit the user made to them,
// the current row, the hearts-only filter, the sort and the canvas zoom. Main thread only. No
// operation throws: each one reports through its result whether anything changed, and every change
// of a published field is announced through `changed`.
//
// Slot A's state lives in the per-path tables; a copy B's state lives whole in `retouchesB`.
// Tables may hold entries of paths the scan did not find: they are kept and saved back.
class PhotoLibrary {
public:
    PhotoLibrary(std::vector<Photo> photos, PhotoLibraryRestoration restored, PhotoSortKey sortKey,
                 bool sortAscending);
    PhotoLibrary(const PhotoLibrary&) = delete;
    PhotoLibrary& operator=(const PhotoLibrary&) = delete;

    Signal<LibraryFields> changed;

    // Published fields.
    const std::vector<Photo>& photos() const { return photos_; }
    // The edit tables; a copy of one is cheap and stays as it was while the library changes.
    const SharedPathSet& hearts() const { return hearts_; }
    const SharedPathMap<double>& rotations() const { return rotations_; }
    const SharedPathMap<ManualCrop>& crops() const { return crops_; }
    const SharedPathMap<PhotoParameters>& parameters() const { return parameters_; }
    const SharedPathMap<PhotoParameters>& parametersRaw() const { return parametersRaw_; }
    const SharedPathMap<PhotoSource>& sources() const { return sources_; }
    const SharedPathMap<RetouchState>& retouchesB() const { return retouchesB_; }
    int cursorIndex() const { return cursorIndex_; }
    RetouchSlot currentSlot() const { return currentSlot_; }
    bool isFiltered() const { return isFiltered_; }
    const ZoomState& zoomState() const { return zoomState_; }
    PhotoSortKey sortKey() const { return sortKey_; }
    bool sortAscending() const { return sortAscending_; }
    int sortRevision() const { return sortRevision_; }

    // The derived row lists.
    const std::vector<Photo>& visiblePhotos() const { return viewCache_.visiblePhotos(); }
    PhotoListRows visibleRows() const { return viewCache_.visibleRows(); }
    int heartCount() const { return viewCache_.heartCount(); }
    std::optional<int> cachedVisiblePhotoIndex(const std::string& path) const;
    std::optional<int> cachedVisibleRowIndex(const RetouchCursor& cursor) const;

    // Filter and sort. toggleFilter() is false when nothing is hearted (the filter stays off);
    // applySort() is false when key and direction are the current ones.
    bool toggleFilter();
    void disableFilter();
    bool applySort(PhotoSortKey key, bool ascending);

    // Navigation along the visible rows. A step past either end is refused whole.
    bool move(int by);
    void jumpToStart();
    void jumpToEnd();
    void jump(int toPhotoIndex);
    bool jump(const std::string& toPath, RetouchSlot slot);

    // Hearts of any row by path, and of the current row.
    HeartToggleResult toggleHeart(const std::string& path, RetouchSlot slot);
    HeartToggleResult toggleCurrentHeart();

    // The current row and its state, with the defaults that stand for absent entries.
    const Photo* currentPhoto() const;
    std::optional<RetouchCursor> currentCursor() const;
    PhotoSource currentSource() const;
    double currentRotation() const;
    ManualCrop currentCrop() const;
    PhotoParameters currentParameters() const;
    std::optional<PixelSize> currentEditSize() const;

    // The state of any row. A photo stays where it is until the next sort.
    const Photo* photo(const std::string& path) const;
    const RetouchState* retouchStateB(const std::string& path) const;
    bool containsHeart(const std::string& path, RetouchSlot slot) const;
    double rotation(const Photo& photo, RetouchSlot slot) const;
    PhotoSource source(const Photo& photo, RetouchSlot slot) const;
    PhotoSource source(const Photo& photo) const { return source(photo, RetouchSlot::a); }
    PhotoParameters parameters(const Photo& photo, RetouchSlot slot, PhotoSource source) const;
    std::optional<PhotoParameters> parameters(const std::string& path, RetouchSlot slot,
                                              PhotoSource source) const;
    ManualCrop clampedCrop(const Photo& photo, RetouchSlot slot) const;
    // Non-zero exposure of every slot-A JPEG/HEIF set: the brightness field of the folder record.
    PathMap<int> brightness() const { return brightness(parameters_); }
    static PathMap<int> brightness(const SharedPathMap<PhotoParameters>& parameters);

    // Rotation, crop and source of the current row.
    PhotoAdjustmentResult rotateCurrent(double byDegrees);
    PhotoAdjustmentResult setCurrentRotation(double degrees);
    bool resetCurrentRotation();
    PhotoAdjustmentResult applyAutomaticCorrection(double degrees);
    PhotoAdjustmentResult resizeCurrentCrop(int byPercent);
    bool resetCurrentCrop();
    PhotoAdjustmentResult storeCurrentCrop(const ManualCrop& crop, const ManualCrop& replacing,
                                           const std::string& path);
    PhotoSourceChangeResult toggleCurrentSource();

    // The same for a named row (undo, redo and the controller's source transition).
    PhotoAdjustmentResult setRotation(double degrees, const std::string& path, RetouchSlot slot);
    PhotoAdjustmentResult setCrop(const ManualCrop& crop, const std::string& path, RetouchSlot slot);
    PhotoSourceChangeResult setSource(PhotoSource source, const Photo& photo, RetouchSlot slot);

    // Copies B.
    RetouchDuplicateCreationResult createRetouchDuplicate();
    std::optional<RetouchState> deleteCurrentRetouchDuplicate();
    std::optional<RetouchState> removeRetouchDuplicate(const std::string& path);
    bool restoreRetouchDuplicate(RetouchState state, const std::string& path, bool select);

    // Development parameters and masks of the current row, for the source it shows.
    PhotoAdjustmentResult adjustCurrentParameter(PhotoParameter parameter, int by,
                                                 ParameterEditTarget target);
    PhotoAdjustmentResult setCurrentParameter(PhotoParameter parameter, int to, ParameterEditTarget target);
    bool resetCurrentParameter(PhotoParameter parameter, ParameterEditTarget target);
    PhotoAdjustmentResult setCurrentParameters(const PhotoParameters& parameters);
    std::optional<int> appendCurrentMask(const MaskKind& kind);
    bool removeCurrentMask(int index);
    PhotoAdjustmentResult setCurrentMaskShapeValues(const std::vector<std::pair<PhotoParameter, int>>& values,
                                                    ParameterEditTarget target);
    PhotoAdjustmentResult setParameters(const PhotoParameters& parameters, const std::string& path,
                                        RetouchSlot slot, PhotoSource source);
    // Random values for the basic and colour parameters of the current row.
    PhotoAdjustmentResult randomizeCurrentParameters(RandomGenerator& generator);

    // Values the folder's record holds for these photos, written there by another copy of the
    // program: each photo takes them whole, absent values being the defaults. Copies B that appear
    // or go are taken only while the list is not filtered, whose rows stay as listed. False when
    // nothing changed.
    bool takeRecordedValues(const std::vector<std::string>& paths, const PhotoLibraryRestoration& values);

    // The canvas zoom; moving to another row resets it.
    void setZoomState(const ZoomState& zoom);
    void panZoom(Size delta, Size viewportSize, Size fittedImageSize);

    // The size a file of a photo shows upright, before any free rotation. A row's crops are
    // measured in the size of the file it shows (a pair shown from its RAW file, in the RAW
    // file's), the size its export has.
    static PixelSize uprightSize(const PhotoAsset& shown);

private:
    void publish(LibraryFields fields) {
        if (!fields.empty()) changed.emit(fields);
    }
    void rebuildVisibleCaches();
    int position(const std::string& path) const; // in photos_, or -1
    static void normalizeRetouchState(RetouchState& state);
    static void synchronizeMaskKinds(const std::vector<MaskKind>& kinds, SharedPathMap<PhotoParameters>& table,
                                     const std::string& path);

    // Cursor bookkeeping: the row before an operation, and the move onto a row.
    void placeCursor(int photoIndex, RetouchSlot slot, LibraryFields& fields);
    void resetZoomIfMovedFrom(const std::optional<RetouchCursor>& previous, LibraryFields& fields);
    void placeAfterRebuild(const std::optional<RetouchCursor>& previous, LibraryFields& fields);

    void insertFilteredRetouchRow(const std::string& path);
    void removeFilteredRetouchRow(const std::string& path);
    void adjustHeartCountForCopy(const std::string& path, bool heartBefore, bool heartAfter);

    static PixelSize editSize(const PhotoAsset& shown, double rotation);
    PixelSize editSize(const Photo& photo, RetouchSlot slot, double rotation) const;
    void storeRotation(double degrees, const std::string& path, RetouchSlot slot);
    void storeCrop(const ManualCrop& crop, const std::string& path, RetouchSlot slot);
    void clampCrop(const std::string& path, RetouchSlot slot, double rotation);
    PhotoAdjustmentResult changeCurrentRotation(double degrees);
    void storeParameters(const PhotoParameters& parameters, const std::string& path, RetouchSlot slot,
                         PhotoSource source);
    PhotoAdjustmentResult replaceParameters(const PhotoParameters& parameters, const Photo& photo,
                                            RetouchSlot slot, PhotoSource source);
    PhotoAdjustmentResult writeCurrentParameter(PhotoParameter parameter, std::int64_t value,
                                                ParameterEditTarget target);

    std::vector<Photo> photos_;
    PathMap<int> positionByPath_; // each photo's position in photos_
    SharedPathSet hearts_;
    SharedPathMap<double> rotations_;
    SharedPathMap<ManualCrop> crops_;
    SharedPathMap<PhotoParameters> parameters_;
    SharedPathMap<PhotoParameters> parametersRaw_;
    SharedPathMap<PhotoSource> sources_;
    SharedPathMap<RetouchState> retouchesB_;
    int cursorIndex_ = 0;
    RetouchSlot currentSlot_ = RetouchSlot::a;
    bool isFiltered_ = false;
    ZoomState zoomState_;
    PhotoSortKey sortKey_;
    bool sortAscending_;
    int sortRevision_ = 0;
    PhotoLibraryViewCache viewCache_;
    std::vector<std::string> filteredPaths_;
    std::vector<RetouchCursor> filteredRowCursors_;
    PathSet filteredRetouchReplacementPaths_;
};

} // namespace sorvin
