#include "ui/platform/qt_pasteboard.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace sorvin {

namespace {

const char* mimeType(PasteboardType type) {
    switch (type) {
    case PasteboardType::png:
        return "image/png";
    case PasteboardType::tiff:
        return "image/tiff";
    case PasteboardType::plainText:
        return "text/plain;charset=utf-8";
    }
    return "application/octet-stream";
}

} // namespace

void QtPasteboard::clearContents() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->clear();
}

bool QtPasteboard::writeItems(const std::vector<PasteboardItem>& items) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || items.empty()) return false;
    auto mime = std::make_unique<QMimeData>();
    for (const PasteboardItem& item : items) {
        for (const auto& [type, bytes] : item.data()) {
            const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qsizetype>(bytes.size()));
            if (type == PasteboardType::plainText) {
                if (!mime->hasText()) mime->setText(QString::fromUtf8(data));
            } else if (!mime->hasFormat(mimeType(type))) {
                mime->setData(mimeType(type), data);
            }
        }
    }
    if (mime->formats().isEmpty()) return false;
    clipboard->setMimeData(mime.release());
    return true;
}

} // namespace sorvin
