#pragma once
// A report on paper: the same table painted onto any paged device (a PDF file, a printer) with
// the title, the header row on every page, the rows across as many pages as they need, the
// totals row at the end and "Page i of n" under each page.

#include <QString>

#include "core/reports/ReportTable.h"

class QPagedPaintDevice;

namespace kelvra {

// Paints on a device whose painting has not begun; pageText holds %1 (the page) and %2 (the
// count). The number of pages, 0 when the device could not be painted on.
int PaintReport(QPagedPaintDevice &device, const TReportTable &t, const QString &pageText);

// An A4 landscape PDF of the report, written beside the name and renamed over it. Empty on
// success, else the reason (and no file left).
QString WriteReportPdf(const QString &fileName, const TReportTable &t, const QString &pageText);

} // namespace kelvra
