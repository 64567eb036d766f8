#pragma once

class QCPLayer;
class QRegion;

// A chart's own replot of a buffered layer repaints the whole widget, blending every paint
// buffer over it; a layer whose drawings change in a small part of the chart repaints that.
namespace ChartLayer {

// Redraws Area of Layer's paint buffer and repaints it on its chart; outside Area the layer
// must look as it did. A layer that is not buffered, or a chart whose buffers wait for a
// whole replot, is replotted as the chart would.
void ReplotWithin(QCPLayer& Layer, const QRegion& Area);

} // namespace ChartLayer
