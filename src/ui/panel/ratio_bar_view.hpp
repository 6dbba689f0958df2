#pragma once

#include "panel/ratio_bar_model.hpp"

#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;

namespace sorvin {

class AppState;
class DimmingVeil;
class PanelButton;

// The crop and rotation bar under the browsing screen's top bar: preset and custom aspects, typed
// rotation, size and position, and the output size.
class RatioBarView : public QWidget {
public:
    RatioBarView(AppState& state, AdjustmentInputFocus& focus, QWidget* parent = nullptr);
    ~RatioBarView() override;

    RatioBarModel& model() { return *model_; }
    QLineEdit* field(AdjustmentInputField::Kind kind) const;
    PanelButton* aspectButton(int index) const { return aspectButtons_[static_cast<std::size_t>(index)]; }
    PanelButton* customButton() const { return customButton_; }
    QLabel* outputSizeLabel() const { return outputSize_; }
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Host;
    QLineEdit* makeField(AdjustmentInputField field, int width);
    std::optional<AdjustmentInputField> fieldOf(QObject* object) const;

    AppState& state_;
    AdjustmentInputFocus& focus_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<RatioBarModel> model_;
    std::array<PanelButton*, 8> aspectButtons_{};
    PanelButton* customButton_;
    QWidget* customFields_;
    std::map<AdjustmentInputField::Kind, QLineEdit*> fields_;
    QWidget* xGroup_;
    QWidget* yGroup_;
    QLabel* outputSize_;
    // Dims the bar while a sheet is up.
    DimmingVeil* veil_;
    std::optional<std::string> shownPath_;
    bool refreshing_ = false;
};

} // namespace sorvin
