#include "ChartLayer.h"

#include <qcustomplot.h>

#include <memory>

namespace {

// The chart's protected drawing steps, named through derived classes as C++ allows for
// pointers to protected members; nothing is ever cast to these types.
struct TLayerSteps : QCPLayer {
    static QSharedPointer<QCPAbstractPaintBuffer> Buffer(QCPLayer& Layer) {
        return (Layer.*&TLayerSteps::mPaintBuffer).toStrongRef();
    }
};

struct TLayerableSteps : QCPLayerable {
    static QRect ClipRect(const QCPLayerable& Child) {
        return (Child.*&TLayerableSteps::clipRect)();
    }
    static void Draw(QCPLayerable& Child, QCPPainter& Painter) {
        (Child.*&TLayerableSteps::applyDefaultAntialiasingHint)(&Painter);
        (Child.*&TLayerableSteps::draw)(&Painter);
    }
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
    // The buffer outside Area still holds what the layer draws there, so only Area is cleared
    // and drawn again, each child clipped as the chart clips it.
    if (const std::unique_ptr<QCPPainter> painter{buffer->startPainting()};
        painter && painter->isActive()) {
        painter->setClipRegion(Area);
        painter->setCompositionMode(QPainter::CompositionMode_Source);
        painter->fillRect(Area.boundingRect(), Qt::transparent);
        painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
        for (QCPLayerable* child : Layer.children()) {
            if (!child->realVisibility()) continue;
            painter->save();
            painter->setClipRect(TLayerableSteps::ClipRect(*child).translated(0, -1),
                                 Qt::IntersectClip);
            TLayerableSteps::Draw(*child, *painter);
            painter->restore();
        }
    }
    buffer->donePainting();
    buffer->setInvalidated(false);
    chart.update(Area);
}
