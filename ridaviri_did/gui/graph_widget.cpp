#include "ridaviri/gui/graph_widget.h"

#include <QPainter>
#include <QPainterPath>

namespace ridaviri::gui {

QColor ChannelColour(int channelNumber) {
    const Rgb& c = kChannelColours.at(channelNumber - 1);
    return QColor(c.r, c.g, c.b);
}

void PaintGraph(QPainter& painter, const GraphPicture& picture) {
    const QRectF area(0, 0, picture.width, picture.height);
    painter.save();
    painter.setClipRect(area);
    painter.fillRect(area, Qt::white);
    if (picture.plot) {
        // Solid lines one pixel wide, without smoothing: the positions are the model's.
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(QPointF(0, picture.zeroY), QPointF(picture.width, picture.zeroY));
        for (int x : picture.tickXs)
            painter.drawLine(QPointF(x, picture.tickBaseY), QPointF(x, picture.tickBaseY - kTickHeight));
        for (const GraphPicture::Line& line : picture.lines) {
            painter.setPen(QPen(ChannelColour(line.channel), 1));
            if (line.points.size() == 1) {
                painter.drawPoint(QPointF(line.points[0][0], line.points[0][1]));
                continue;
            }
            QPainterPath path(QPointF(line.points[0][0], line.points[0][1]));
            for (std::size_t j = 1; j < line.points.size(); ++j) path.lineTo(line.points[j][0], line.points[j][1]);
            painter.drawPath(path);
        }
    }
    painter.restore();
}

GraphArea::GraphArea(int width, int height, Source source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)) {
    setFixedSize(width, height);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintGraph(painter, source_());
}

ColourMark::ColourMark(int channelNumber, QWidget* parent) : QWidget(parent), channel_(channelNumber) {
    setFixedSize(10, 10);
}

void ColourMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ChannelColour(channel_));
}

}  // namespace ridaviri::gui
