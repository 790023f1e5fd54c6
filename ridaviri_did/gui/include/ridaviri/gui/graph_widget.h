// The one painter of the monitor's graphs: a white area, the 0 °C line, the tick marks and each
// channel's line in its colour, exactly at the pixel positions of the graph model. The main
// graph and every small graph are a GraphArea that paints the picture its source gives.
#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

#include "ridaviri/ui/graph_model.h"

class QPainter;

namespace ridaviri::gui {

QColor ChannelColour(int channelNumber);

// Paints `picture` with its top-left corner at the painter's origin, clipped to its area.
void PaintGraph(QPainter& painter, const GraphPicture& picture);

class GraphArea : public QWidget {
public:
    using Source = std::function<GraphPicture()>;
    GraphArea(int width, int height, Source source, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Source source_;
};

// The small square in a channel's colour beside its value.
class ColourMark : public QWidget {
public:
    ColourMark(int channelNumber, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int channel_;
};

}  // namespace ridaviri::gui
