#include "ui/reports/ReportPrint.h"

#include "core/util/TextFileWriter.h"

#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <vector>

namespace kelvra {

int PaintReport(QPagedPaintDevice &device, const TReportTable &t, const QString &pageText) {
  QPainter p;
  if (!p.begin(&device)) return 0;
  const QRect page = p.viewport();
  const double dpi = device.logicalDpiY();
  QFont font("Sans");
  font.setPointSizeF(8);
  QFont bold = font;
  bold.setBold(true);
  QFont titleFont = font;
  titleFont.setPointSizeF(11);
  titleFont.setBold(true);
  p.setFont(font);
  const QFontMetrics fm(font, &device), fmBold(bold, &device), fmTitle(titleFont, &device);
  const int pad = int(dpi * 0.04);
  const int rowH = fm.height() + 2 * pad;
  const int titleH = fmTitle.height() + 2 * pad;
  const int footH = fm.height() + 2 * pad;

  // Columns as wide as their widest text, shrunk together to fit the page.
  const size_t cols = t.columns.size();
  const std::vector<TReportCell> totals = t.Totals();
  std::vector<double> widths(cols, 0);
  auto widen = [&](size_t c, const QString &s, const QFontMetrics &m) {
    widths[c] = std::max(widths[c], double(m.horizontalAdvance(s) + 2 * pad));
  };
  for (size_t c = 0; c < cols; ++c) {
    widen(c, QString::fromStdString(t.columns[c].title), fmBold);
    for (const auto &row : t.rows) widen(c, QString::fromStdString(t.CellText(row[c], c)), fm);
    widen(c, QString::fromStdString(t.CellText(totals[c], c)), fmBold);
  }
  // Texts (names, places) give way first: times and numbers cut short would say nothing.
  double textSum = 0, fixedSum = 0;
  for (size_t c = 0; c < cols; ++c)
    (t.columns[c].type == TCellType::Text ? textSum : fixedSum) += widths[c];
  if (textSum + fixedSum > page.width() && textSum > 0) {
    const double k = std::max(0.2, (page.width() - fixedSum) / textSum);
    for (size_t c = 0; c < cols; ++c)
      if (t.columns[c].type == TCellType::Text) widths[c] *= std::min(1.0, k);
  }
  double sum = 0;
  for (double w : widths) sum += w;
  if (sum > page.width())
    for (double &w : widths) w *= page.width() / sum;

  const int bodyTop = titleH + rowH;
  const int perPage = std::max(1, (page.height() - bodyTop - footH) / rowH);
  const int lines = int(t.rows.size()) + 1; // and the totals
  const int pages = (lines + perPage - 1) / perPage;

  auto drawRow = [&](int y, const std::vector<TReportCell> *cells, bool header) {
    double x = 0;
    for (size_t c = 0; c < cols; ++c) {
      const QRectF cell(x, y, widths[c], rowH);
      const QRectF inner = cell.adjusted(pad, 0, -pad, 0);
      QString s = header ? QString::fromStdString(t.columns[c].title)
                         : QString::fromStdString(t.CellText((*cells)[c], c));
      const QFontMetrics &m = p.font().bold() ? fmBold : fm;
      s = m.elidedText(s, Qt::ElideRight, int(inner.width()));
      const bool right = !header && t.columns[c].type != TCellType::Text &&
                         t.columns[c].type != TCellType::DateTime;
      p.drawText(inner, Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft), s);
      x += widths[c];
    }
  };

  size_t next = 0;
  for (int pg = 1; pg <= pages; ++pg) {
    if (pg > 1 && !device.newPage()) return 0;
    p.setFont(titleFont);
    p.drawText(QRect(0, 0, page.width(), titleH), Qt::AlignLeft | Qt::AlignVCenter,
               fmTitle.elidedText(QString::fromStdString(t.title), Qt::ElideRight, page.width()));
    p.setFont(bold);
    drawRow(titleH, nullptr, true);
    p.drawLine(0, bodyTop, page.width(), bodyTop);
    p.setFont(font);
    int y = bodyTop;
    for (int k = 0; k < perPage && next <= t.rows.size(); ++k, ++next, y += rowH) {
      if (next == t.rows.size()) {
        p.drawLine(0, y, page.width(), y);
        p.setFont(bold);
        drawRow(y, &totals, false);
        p.setFont(font);
      } else {
        drawRow(y, &t.rows[next], false);
      }
    }
    p.drawText(QRect(0, page.height() - footH, page.width(), footH),
               Qt::AlignRight | Qt::AlignVCenter, pageText.arg(pg).arg(pages));
  }
  p.end();
  return pages;
}

QString WriteReportPdf(const QString &fileName, const TReportTable &t, const QString &pageText) {
  const std::string name = QFile::encodeName(fileName).toStdString();
  const QString tmp = QFile::decodeName(QByteArray::fromStdString(TempFileName(name)));
  int pages = 0;
  {
    QPdfWriter pdf(tmp);
    pdf.setTitle(QString::fromStdString(t.title));
    pdf.setCreator("KelvraMonitor");
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                  QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    pdf.setResolution(300);
    pages = PaintReport(pdf, t, pageText);
  }
  if (pages == 0) {
    QFile::remove(tmp);
    return QStringLiteral("cannot write ") + fileName;
  }
  if (!CommitTempFile(TempFileName(name), name)) return QStringLiteral("cannot write ") + fileName;
  return {};
}

} // namespace kelvra
