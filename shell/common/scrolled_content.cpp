#include "shell/common/scrolled_content.h"

#include <QScreen>
#include <QScrollArea>
#include <QWidget>

namespace mirx::shell {

QScrollArea* scrolledContent(QWidget* content) {
    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

void sizeToContent(QWidget& view, const QWidget& content) {
    // Room for the buttons, the margins and a scroll bar.
    constexpr int kExtraWidth = 40;
    constexpr int kExtraHeight = 80;
    QSize wanted = content.sizeHint() + QSize(kExtraWidth, kExtraHeight);
    if (const QScreen* screen = view.screen()) {
        wanted = wanted.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    view.resize(wanted);
}

} // namespace mirx::shell
