#include "shell/main/about_dialog.h"

#include "link/console_version.h"
#include "shell/common/window_title.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::shell {
namespace {

constexpr int kIconSize = 64;

QLabel* textLine(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    // Support asks for the version; let it be copied.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

QString programVersionText() {
    const link::AppVersion v = link::consoleVersion();
    const std::string_view platform = link::platformName(v.platform);
    return QStringLiteral("%1.%2.%3-%4 (%5)")
        .arg(v.major)
        .arg(v.minor)
        .arg(v.build)
        .arg(v.revision)
        .arg(QString::fromUtf8(platform.data(), static_cast<qsizetype>(platform.size())));
}

CAboutDlg::CAboutDlg(ShellContext& context, QWidget* parent)
    : ViewDialog(context, ViewKey::About, parent) {
    const QString product =
        QStringLiteral("%1 System Administration").arg(QLatin1String(kProductWord));

    const QIcon icon(QStringLiteral(":/mirx/mirx-admin.svg"));
    setWindowIcon(icon);

    auto* text = new QVBoxLayout;
    text->addWidget(textLine(product + QLatin1Char(' ') + programVersionText(), this));
    text->addSpacing(fontMetrics().height());
    text->addWidget(textLine(QStringLiteral("Copyright \u00A9 2026 Talbrook"), this));
    text->addWidget(textLine(QStringLiteral("All rights reserved."), this));
    text->addWidget(textLine(QStringLiteral("Support: support@talbrook.example"), this));
    text->addWidget(textLine(QStringLiteral("Web: https://www.talbrook.example"), this));

    auto* body = new QHBoxLayout;
    // Without an SVG image plugin the icon comes back empty; leave no gap.
    const QPixmap pixmap = icon.pixmap(kIconSize, kIconSize);
    if (!pixmap.isNull()) {
        auto* iconLabel = new QLabel(this);
        iconLabel->setPixmap(pixmap);
        iconLabel->setAlignment(Qt::AlignTop);
        body->addWidget(iconLabel);
    }
    body->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    // The platform theme may add a mnemonic; the caption is fixed.
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace mirx::shell
