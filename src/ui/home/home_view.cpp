#include "ui/home/home_view.hpp"

#include "app/app_state.hpp"
#include "ui/home/recent_folder_row.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sorvin {

namespace {
constexpr int largeTitlePixelSize = 26;
constexpr int captionPixelSize = 12;
constexpr int notePixelSize = 11;

QLabel* label(const QString& text, int pixelSize, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(SorvinLook::font(pixelSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}
} // namespace

HomeView::HomeView(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), choose_(new QPushButton(QStringLiteral("フォルダを選ぶ"), this)),
      recentBlock_(new QWidget(this)), recentRows_(new QVBoxLayout()),
      subfolders_(new QCheckBox(QStringLiteral("サブフォルダも読む"), this)),
      lowMemory_(new QCheckBox(QStringLiteral("メモリ節約モード"), this)) {
    auto* title = label(QStringLiteral("Sorvin"), largeTitlePixelSize, SorvinColor::text(), this);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::Bold);
    title->setFont(titleFont);

    auto* recentColumn = new QVBoxLayout(recentBlock_);
    recentColumn->setContentsMargins(0, 0, 0, 0);
    recentColumn->setSpacing(6);
    recentColumn->addWidget(label(QStringLiteral("最近開いたフォルダ"), captionPixelSize,
                                  SorvinColor::secondaryText(), recentBlock_));
    recentRows_->setSpacing(2);
    recentRows_->setContentsMargins(0, 0, 0, 0);
    recentColumn->addLayout(recentRows_);
    recentBlock_->setFixedWidth(RecentFolderRow::rowWidth);

    auto* options = new QWidget(this);
    auto* optionColumn = new QVBoxLayout(options);
    optionColumn->setContentsMargins(0, 0, 0, 0);
    optionColumn->setSpacing(8);
    subfolders_->setParent(options);
    lowMemory_->setParent(options);
    optionColumn->addWidget(subfolders_, 0, Qt::AlignLeft);
    optionColumn->addWidget(lowMemory_, 0, Qt::AlignLeft);
    optionColumn->addWidget(
        label(QStringLiteral("メモリの少ないパソコン向け。表示を少し粗くして使用メモリを約 1/3 "
                             "にします（書き出す画質は変わりません）"),
              notePixelSize, QColor(142, 142, 147), options),
        0, Qt::AlignLeft);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(28);
    column->addStretch(1);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(choose_, 0, Qt::AlignHCenter);
    column->addWidget(recentBlock_, 0, Qt::AlignHCenter);
    column->addWidget(options, 0, Qt::AlignHCenter);
    column->addStretch(1);

    connect(choose_, &QPushButton::clicked, this, [this] { state_.chooseSourceFolder(); });
    connect(subfolders_, &QCheckBox::clicked, this, [this](bool on) { state_.setIncludeSubfolders(on); });
    connect(lowMemory_, &QCheckBox::clicked, this, [this](bool on) {
        state_.setLowMemoryMode(on);
        // The box shows the state's value, whether or not it took the change.
        lowMemory_->setChecked(state_.lowMemoryMode());
    });
    refresh();
}

bool HomeView::showsRecentFolders() const {
    return !recentBlock_->isHidden();
}

void HomeView::refresh() {
    subfolders_->setChecked(state_.includeSubfolders());
    lowMemory_->setChecked(state_.lowMemoryMode());
    const std::vector<std::string>& folders = state_.recentFolders();
    recentBlock_->setHidden(folders.empty());
    if (folders == shownFolders_) return;
    shownFolders_ = folders;
    for (RecentFolderRow* row : rows_) {
        row->hide();
        row->deleteLater();
    }
    rows_.clear();
    const QString home = QDir::homePath();
    for (const std::string& folder : folders) {
        const QString path = QString::fromStdString(folder);
        auto* row = new RecentFolderRow(
            path, home, [this, folder] { state_.openRecentFolder(folder); },
            [this, folder] { state_.removeRecentFolder(folder); }, recentBlock_);
        recentRows_->addWidget(row);
        rows_.push_back(row);
    }
}

} // namespace sorvin
