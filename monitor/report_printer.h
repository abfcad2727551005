#pragma once

#include <string>

#include <QString>
#include <QStringList>

class QPagedPaintDevice;

namespace mirx::monitor {

// Lays plain text lines out on pages: the system's fixed-pitch font, half-inch
// margins, and on every page a header with the application's name, the page
// number and a red rule. Pages follow one another until every line is
// printed; nothing is cut at the bottom of a page.
//
// A line wider than the page first shrinks the font for the whole document
// (so a report's columns stay on one line where they can), down to
// kSmallestPointSize; a line still too wide goes on over as many printed
// lines as it needs, cut at character boundaries.
class CPrinter {
public:
    static constexpr double kSmallestPointSize = 6.0;

    explicit CPrinter(QString applicationName);

    // Prints `lines` on `device`, which the caller has set up (page size,
    // document name). Returns the pages printed; 0 when the device could
    // not be painted on.
    int print(QPagedPaintDevice& device, const QStringList& lines) const;

private:
    QString applicationName_;
};

// The name every printed page and PDF carries.
QString printedApplicationName();

// A report text's lines ("\n" ends each), as printed.
QStringList reportLines(const std::string& text);

// Prints `lines` as a PDF document named after the application to `path`,
// written to a temporary file first and renamed, so nothing half written is
// left under `path`. Returns an empty text, or why the file could not be
// written.
QString printPdf(const QString& path, const QString& applicationName, const QStringList& lines);

// A report text as a PDF under the application's name, for mirx-ctl: empty,
// or why the file could not be written. Needs a QGuiApplication.
std::string printReportPdf(const std::string& path, const std::string& text);

} // namespace mirx::monitor
