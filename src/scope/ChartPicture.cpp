#include "ChartPicture.h"

#include "ModalDialogs.h"
#include "SafeFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <qcustomplot.h>

namespace ChartPicture {
namespace {

QByteArray Png(const QCustomPlot& Chart) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    auto& chart = const_cast<QCustomPlot&>(Chart); // drawing a copy changes nothing shown
    if (!chart.toPixmap(Chart.width(), Chart.height()).save(&buffer, "PNG")) return {};
    return bytes;
}

// The chart as vectors in a drawing of its own size.
QByteArray Svg(const QCustomPlot& Chart, const QString& Title) {
    const QSize size = Chart.size();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(), size));
    svg.setTitle(Title);
    QCPPainter painter;
    if (!painter.begin(&svg)) return {};
    painter.setMode(QCPPainter::pmVectorized);
    const_cast<QCustomPlot&>(Chart).toPainter(&painter, size.width(), size.height());
    painter.end();
    return bytes;
}

// The chart as vectors on one page of its own size.
QByteArray Pdf(const QCustomPlot& Chart) {
    const QSize size = Chart.size();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator("pxs733");
        pdf.setPageMargins(QMarginsF());
        pdf.setPageSize(QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch));
        QCPPainter painter;
        if (!painter.begin(&pdf)) return {};
        painter.setMode(QCPPainter::pmVectorized);
        painter.setWindow(QRect(QPoint(), size));
        const_cast<QCustomPlot&>(Chart).toPainter(&painter, size.width(), size.height());
    }
    return bytes;
}

} // namespace

void Save(const QCustomPlot& Chart, TModalDialogs& Dialogs, const QString& Caption,
          const QString& Stem) {
    QString path = Dialogs.SaveFile(
        Caption, Stem, {"PNG pictures (*.png)", "PDF documents (*.pdf)", "SVG drawings (*.svg)"});
    if (path.isEmpty()) return;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != "pdf" && suffix != "png" && suffix != "svg") path += ".png";
    const QByteArray picture = suffix == "pdf"   ? Pdf(Chart)
                               : suffix == "svg" ? Svg(Chart, "PXS733 " + Stem)
                                                 : Png(Chart);
    const QString error = picture.isEmpty() ? QStringLiteral("the picture could not be drawn")
                                            : SafeFile::Write(path, picture);
    if (!error.isEmpty())
        Dialogs.ReportError(QStringLiteral("Cannot save the picture to %1: %2").arg(path, error));
}

} // namespace ChartPicture
