#pragma once

#include "model/photo_source.hpp"

#include <QPushButton>
#include <optional>

namespace sorvin {

struct Photo;

// The badge at the photo area's top-left corner naming the file of a JPEG/RAW pair in use; a
// click switches to the other file.
class SourceBadgeButton : public QPushButton {
public:
    struct Presentation {
        QString text; // the upper-cased extension of the file in use
        bool raw = false;
    };

    explicit SourceBadgeButton(QWidget* parent = nullptr);

    // None for a photo without a RAW companion.
    static std::optional<Presentation> presentation(const Photo& photo, PhotoSource source);
    void present(const std::optional<Presentation>& presentation);
    bool showsRaw() const { return raw_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool raw_ = false;
};

} // namespace sorvin
