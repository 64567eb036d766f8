#pragma once

#include <QString>

class QCustomPlot;
class TModalDialogs;

// A chart saved as a picture: PNG, PDF or SVG by the name's extension or the chosen type.
namespace ChartPicture {

// Asks for a file (Caption, the name proposed from Stem) and writes the chart at its size
// (an SVG titled "PXS733 Stem"); a failure goes to the dialog hook's error report.
void Save(const QCustomPlot& Chart, TModalDialogs& Dialogs, const QString& Caption,
          const QString& Stem);

} // namespace ChartPicture
