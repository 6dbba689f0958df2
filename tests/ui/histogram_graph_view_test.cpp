#include "support/histogram_as_paths.hpp"
#include "ui/browsing/histogram_graph_view.hpp"
#include "ui_test_fixture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sorvin::test {
namespace {

// The graph looks as Qt's own antialiased fill of the bars would draw it, to within three levels of
// rounding, for a histogram with bars of a fractional width, gaps and clipped ends.
TEST(HistogramGraphViewTest, DrawsTheBarsAsAnAntialiasedFillWould) {
    application();
    HistogramData data = HistogramData::empty();
    for (int i = 0; i < 256; ++i) {
        data.red[static_cast<std::size_t>(i)] = 50 + 40 * std::sin(i / 9.0);
        data.green[static_cast<std::size_t>(i)] = i % 23 == 0 ? 0 : 30 + (i * 37 % 50);
        data.blue[static_cast<std::size_t>(i)] = 90 * std::exp(-(i - 128) * (i - 128) / 800.0);
    }
    data.red[0] = 500;
    data.blue[255] = 700;
    const double width = ExifPanelLayout::graphWidth(300); // 276 points: bars of 1.08 points

    HistogramGraphView view(nullptr);
    view.setData(data, width);
    const QImage drawn = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);

    QImage expected(drawn.size(), QImage::Format_ARGB32);
    expected.setDevicePixelRatio(drawn.devicePixelRatio());
    {
        QPainter painter(&expected);
        const QRectF bounds(0, 0, width, ExifPanelLayout::graphHeight);
        painter.fillRect(bounds, toQColor(ViewPalette::graphBackground));
        fillHistogramAsPaths(painter, data, width);
        painter.setPen(
            QPen(toQColor(ViewPalette::graphBorder), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
    }

    ASSERT_EQ(drawn.size(), expected.size());
    int largest = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(largest, 3);
}

} // namespace
} // namespace sorvin::test
