#include "monitor/report_printer.h"

#include "shell/common/window_title.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QSaveFile>

namespace mirx::monitor {
namespace {

// Used when the system names its fixed font by pixels only.
constexpr double kFallbackPointSize = 10.0;

// The pieces `line` prints as: itself, or cut where `available` ends.
void appendPieces(const QString& line, const QFontMetricsF& metrics, double available,
                  QStringList& out) {
    if (metrics.horizontalAdvance(line) <= available) {
        out.append(line);
        return;
    }
    const double advance = std::max(1.0, metrics.horizontalAdvance(QLatin1Char('M')));
    const auto perPiece = std::max<qsizetype>(1, static_cast<qsizetype>(available / advance));
    for (qsizetype at = 0; at < line.size(); at += perPiece) {
        out.append(line.mid(at, perPiece));
    }
}

} // namespace

QString printedApplicationName() {
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(shell::kProductWord),
                                       QString::fromLatin1(shell::kMainCaption));
}

QStringList reportLines(const std::string& text) {
    QStringList lines = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                            .split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

CPrinter::CPrinter(QString applicationName)
    : applicationName_(std::move(applicationName)) {}

int CPrinter::print(QPagedPaintDevice& device, const QStringList& lines) const {
    const double dpiX = device.logicalDpiX();
    const double dpiY = device.logicalDpiY();
    const double leftMargin = dpiX / 2;
    const double topMargin = dpiY / 2;
    const double pageWidth = device.width();
    const double pageHeight = device.height();
    const double available = std::max(1.0, pageWidth - 2 * leftMargin);

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (font.pointSizeF() <= 0) {
        font.setPointSizeF(kFallbackPointSize);
    }
    double widest = 0;
    {
        const QFontMetricsF metrics(font, &device);
        for (const QString& line : lines) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
    }
    if (widest > available) {
        font.setPointSizeF(std::max(kSmallestPointSize, font.pointSizeF() * available / widest));
    }
    const QFontMetricsF metrics(font, &device);
    const double lineHeight = metrics.height() + std::max(0.0, metrics.leading());

    QStringList printed;
    printed.reserve(lines.size());
    for (const QString& line : lines) {
        appendPieces(line, metrics, available, printed);
    }

    QPainter painter;
    if (!painter.begin(&device)) {
        return 0;
    }
    painter.setFont(font);
    const QPen textPen = painter.pen();
    QPen rulePen(Qt::red);
    rulePen.setWidthF(std::max(1.0, dpiX / 100));

    int pages = 0;
    double position = 0;
    const auto startPage = [&] {
        if (pages > 0) {
            device.newPage();
        }
        ++pages;
        position = topMargin;
        const double headerBaseline = topMargin - 1.5 * lineHeight + metrics.ascent();
        painter.setPen(textPen);
        painter.drawText(QPointF(leftMargin, headerBaseline), applicationName_);
        const QString number = QString::number(pages);
        painter.drawText(
            QPointF(pageWidth - leftMargin - metrics.horizontalAdvance(number), headerBaseline),
            number);
        painter.setPen(rulePen);
        const double ruleY = topMargin - 0.5 * lineHeight;
        painter.drawLine(QPointF(leftMargin, ruleY), QPointF(pageWidth - leftMargin, ruleY));
        painter.setPen(textPen);
    };

    startPage();
    bool pageEmpty = true;
    for (const QString& line : printed) {
        // A line that would reach into the bottom margin starts the next
        // page, unless it is the page's first (a page shorter than a line).
        if (!pageEmpty && position + lineHeight > pageHeight - topMargin) {
            startPage();
            pageEmpty = true;
        }
        painter.drawText(QPointF(leftMargin, position + metrics.ascent()), line);
        position += lineHeight;
        pageEmpty = false;
    }
    painter.end();
    return pages;
}

QString printPdf(const QString& path, const QString& applicationName, const QStringList& lines) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setTitle(applicationName);
        writer.setCreator(applicationName);
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        writer.setPageLayout(QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4),
                                         QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pages = CPrinter(applicationName).print(writer, lines);
    }
    if (pages == 0) {
        file.cancelWriting();
        return QCoreApplication::translate("CPrinter", "The document could not be laid out.");
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

std::string printReportPdf(const std::string& path, const std::string& text) {
    return printPdf(QString::fromStdString(path), printedApplicationName(), reportLines(text))
        .toStdString();
}

} // namespace mirx::monitor
