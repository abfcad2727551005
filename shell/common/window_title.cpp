#include "shell/common/window_title.h"

namespace mirx::shell {

QString windowTitle(const QString& caption, std::string_view profile) {
    QString title = QStringLiteral("%1 %2").arg(QLatin1String(kProductWord), caption);
    if (!profile.empty()) {
        title += QStringLiteral(" - ") +
                 QString::fromUtf8(profile.data(), static_cast<qsizetype>(profile.size()));
    }
    return title;
}

} // namespace mirx::shell
