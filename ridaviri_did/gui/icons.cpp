#include "ridaviri/gui/icons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "ridaviri/gui/graph_widget.h"

namespace ridaviri::gui {
namespace {

// A small graph: white paper, a frame and three channel curves.
void DrawCurves(QPainter& p, const QRectF& r) {
    p.fillRect(r, Qt::white);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const double w = r.width(), h = r.height();
    const double shapes[3][5] = {{0.70, 0.55, 0.60, 0.40, 0.30}, {0.85, 0.80, 0.70, 0.72, 0.60}, {0.45, 0.35, 0.40, 0.20, 0.15}};
    const int channels[3] = {7, 2, 4};
    for (int c = 0; c < 3; ++c) {
        QPainterPath path(QPointF(r.left() + 2, r.top() + shapes[c][0] * h));
        for (int i = 1; i < 5; ++i) path.lineTo(r.left() + 2 + i * (w - 4) / 4, r.top() + shapes[c][i] * h);
        p.setPen(QPen(ChannelColour(channels[c]), std::max(1.0, w / 24)));
        p.drawPath(path);
    }
}

QPixmap Canvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap = Canvas(size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        DrawCurves(p, QRectF(0, 0, size, size));
        // A thermometer on the left.
        const double s = size / 32.0;
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3 * s, 3 * s, 6 * s, 20 * s), 3 * s, 3 * s);
        p.setBrush(QColor(220, 0, 0));
        p.drawEllipse(QRectF(1.5 * s, 20 * s, 9 * s, 9 * s));
        p.fillRect(QRectF(5 * s, 10 * s, 2 * s, 12 * s), QColor(220, 0, 0));
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap OpeningPicture(int width, int height) {
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(20, 60, 130));
    sky.setColorAt(1, QColor(90, 150, 210));
    p.fillRect(pixmap.rect(), sky);
    DrawCurves(p, QRectF(width * 0.08, height * 0.30, width * 0.84, height * 0.55));
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(std::max(12, height / 8));
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(0, height * 0.04, width, height * 0.24), Qt::AlignCenter, QStringLiteral("RAdizavizediv"));
    return pixmap;
}

QIcon ToolBarIcon(MonitorCommand command) {
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    switch (command) {
    case MonitorCommand::OtherSettings:  // a sheet with three settings
        p.setBrush(Qt::white);
        p.drawRect(6, 3, 20, 26);
        for (int y : {10, 16, 22}) {
            p.drawLine(10, y, 22, y);
            p.setBrush(QColor(0, 90, 200));
            p.drawEllipse(QPointF(y == 16 ? 19 : 13, y), 2.5, 2.5);
        }
        break;
    case MonitorCommand::SensorCheck:  // a sensor unit with a search glass
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(3, 12, 14, 16);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(20, 12), 7, 7);
        p.drawLine(25, 17, 30, 23);
        break;
    case MonitorCommand::Start:  // play
        p.setBrush(QColor(0, 160, 0));
        p.drawPolygon(QPolygonF({QPointF(9, 5), QPointF(27, 16), QPointF(9, 27)}));
        break;
    case MonitorCommand::Stop:  // stop
        p.setBrush(QColor(210, 0, 0));
        p.drawRect(7, 7, 18, 18);
        break;
    case MonitorCommand::AllChannelGraph:  // four small graphs
        for (int i = 0; i < 4; ++i) DrawCurves(p, QRectF(2 + (i % 2) * 15, 2 + (i / 2) * 15, 13, 13));
        break;
    case MonitorCommand::MeasurementList:  // a table
        p.setBrush(Qt::white);
        p.drawRect(3, 4, 26, 24);
        for (int y : {11, 17, 23}) p.drawLine(3, y, 29, y);
        p.drawLine(12, 4, 12, 28);
        break;
    default: break;
    }
    return QIcon(pixmap);
}

}  // namespace ridaviri::gui
