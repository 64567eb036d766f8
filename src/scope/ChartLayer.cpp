#include "ChartLayer.h"

#include <qcustomplot.h>

namespace {

// The chart's protected drawing steps, named through derived classes as C++ allows for
// pointers to protected members; nothing is ever cast to these types.
struct TLayerSteps : QCPLayer {
    static QSharedPointer<QCPAbstractPaintBuffer> Buffer(QCPLayer& Layer) {
        return (Layer.*&TLayerSteps::mPaintBuffer).toStrongRef();
    }
    static void Draw(QCPLayer& Layer) { (Layer.*&TLayerSteps::drawToPaintBuffer)(); }
};

struct TChartSteps : QCustomPlot {
    static bool BuffersInvalidated(QCustomPlot& Chart) {
        return (Chart.*&TChartSteps::hasInvalidatedPaintBuffers)();
    }
};

} // namespace

void ChartLayer::ReplotWithin(QCPLayer& Layer, const QRegion& Area) {
    QCustomPlot& chart = *Layer.parentPlot();
    const QSharedPointer<QCPAbstractPaintBuffer> buffer = TLayerSteps::Buffer(Layer);
    if (Layer.mode() != QCPLayer::lmBuffered || !buffer || TChartSteps::BuffersInvalidated(chart)) {
        Layer.replot();
        return;
    }
    buffer->clear(Qt::transparent);
    TLayerSteps::Draw(Layer);
    buffer->setInvalidated(false);
    chart.update(Area);
}
