#pragma once

#include "shell/source_badge_presentation.hpp"

#include <QPushButton>
#include <optional>

namespace sorvin {

// The badge at the photo area's top-left corner naming the file of a JPEG/RAW pair in use; a
// click switches to the other file.
class SourceBadgeButton : public QPushButton {
public:
    explicit SourceBadgeButton(QWidget* parent = nullptr);

    // Hidden for none (a photo without a RAW companion).
    void present(const std::optional<PhotoAreaSourceBadgePresentation>& presentation);
    bool showsRaw() const { return raw_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool raw_ = false;
};

} // namespace sorvin
