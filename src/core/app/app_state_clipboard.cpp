// The EXIF text and the developed photo on the clipboard.

#include "app/app_state.hpp"
#include "loading/exif_copy_text.hpp"
#include "loading/exif_display_values.hpp"
#include "loading/image_clipboard_payload.hpp"

#include <exception>

namespace sorvin {

std::optional<std::string> AppState::currentExifCopyText() const {
    if (!library_) return std::nullopt;
    const Photo* photo = library_->currentPhoto();
    if (!photo) return std::nullopt;
    // The values on hand must be those of the file shown now.
    if (exifLoader_.currentPath() != photo->relativePath ||
        exifLoader_.currentSource() != library_->currentSource())
        return std::nullopt;
    if (!exifLoader_.metadata()) return std::nullopt;
    std::string text = ExifCopyText::make(
        ExifDisplayValues(exifLoader_.metadata(), library_->currentRotation()), exifCopySelection_);
    if (text.empty()) return std::nullopt;
    return text;
}

void AppState::toggleExifCopyField(ExifCopyField field) {
    if (!exifCopySelection_.erase(field)) exifCopySelection_.insert(field);
    publish(AppStateProperty::exifCopySelection);
    settings_.setExifCopySelection(exifCopySelection_);
}

void AppState::copyExifText() {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_) return;
    const std::optional<std::string> text = currentExifCopyText();
    if (!text) return;
    pasteboard_.clearContents();
    PasteboardItem item;
    if (!item.setData(PasteboardType::plainText, std::vector<std::uint8_t>(text->begin(), text->end())))
        return;
    if (pasteboard_.writeItems({item})) showToasts({"EXIFをコピーしました"}, 1.5);
}

void AppState::copyCurrentImage() {
    if (screen_ != AppScreen::select || isModalExportPresented() || adjustmentInputIsFocused_ ||
        isImageCopyInProgress_ || !library_ || !library_->currentPhoto())
        return;
    // The clipboard gets the photo as it was when the command started; the copy is never cancelled.
    auto render = [render = renderer_, photo = *library_->currentPhoto(),
                   rotation = library_->currentRotation(), crop = library_->currentCrop(),
                   parameters = library_->currentParameters(), source = library_->currentSource()] {
        return render(photo, rotation, crop, parameters, source, kImageCopyLongEdge);
    };
    isImageCopyInProgress_ = true;
    publish(AppStateProperty::isImageCopyInProgress);

    MainQueue& mainQueue = mainQueue_;
    const std::weak_ptr<AppState*> weak = self_;
    executor_.run(TaskPriority::userInitiated, [&mainQueue, weak, render = std::move(render)] {
        std::optional<ImageClipboardPayload> payload;
        try {
            const ExportRendering rendering = render();
            if (rendering.rendered && rendering.rendered->image)
                payload = ImageClipboardPayload::make(*rendering.rendered->image);
        } catch (const std::exception&) {
            payload.reset();
        }
        mainQueue.post([weak, payload = std::move(payload)] {
            auto self = weak.lock();
            if (!self) return;
            AppState& state = **self;
            state.isImageCopyInProgress_ = false;
            state.publish(AppStateProperty::isImageCopyInProgress);
            if (payload && payload->write(state.pasteboard_))
                state.showToasts({"画像をコピーしました"}, 1.5);
            else
                state.showToasts({"画像をコピーできませんでした"}, 3.0);
        });
    });
}

} // namespace sorvin
