#include "shell/common/colour_sample.h"

#include "shell/common/chooser.h"

#include <QPainter>

namespace mirx::shell {

QColor recordColour(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t opaqueRecordColour(const QColor& colour) {
    return 0xFF000000u | static_cast<std::uint32_t>(colour.red()) |
           (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}

std::optional<std::uint32_t> chooseRecordColour(Chooser& chooser, QWidget* parent,
                                                std::uint32_t current) {
    const auto chosen = chooser.chooseColour(parent, recordColour(current));
    if (!chosen) {
        return std::nullopt;
    }
    return opaqueRecordColour(*chosen);
}

ColourSample::ColourSample(const QString& word, QWidget* parent)
    : QFrame(parent)
    , word_(word) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::NoFocus);
    setMinimumHeight(fontMetrics().height() + 8);
}

void ColourSample::setWord(const QString& word) {
    word_ = word;
    update();
}

void ColourSample::setColours(std::optional<QColor> background, const QColor& text) {
    background_ = background;
    text_ = text;
    update();
}

QSize ColourSample::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {std::max(80, metrics.horizontalAdvance(word_) + 16), metrics.height() + 8};
}

void ColourSample::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), background_.value_or(palette().color(QPalette::Button)));
        if (!word_.isEmpty()) {
            painter.setPen(text_);
            painter.setFont(font());
            painter.drawText(contentsRect(), Qt::AlignCenter, word_);
        }
    }
    QFrame::paintEvent(event);
}

} // namespace mirx::shell
