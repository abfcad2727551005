#pragma once

#include <cstdint>
#include <optional>

#include <QColor>
#include <QFrame>
#include <QString>

class QWidget;

// Server records hold colours as 32-bit values, red in the lowest byte; the
// samples and choosers of the settings views show and pick them.

namespace mirx::shell {

class Chooser;

QColor recordColour(std::uint32_t value);
// Opaque: the top byte says "a colour" (kOpaque in model/ui_settings.h).
std::uint32_t opaqueRecordColour(const QColor& colour);
// The platform's colour chooser preset with `current`; the chosen colour
// as an opaque record value, nothing when cancelled.
std::optional<std::uint32_t> chooseRecordColour(Chooser& chooser, QWidget* parent,
                                                std::uint32_t current);

// A read-only field painted in an element's colours: its background, and a
// word in its text colour with the dialog font. Without a background it
// shows the button face.
class ColourSample final : public QFrame {
    Q_OBJECT
public:
    explicit ColourSample(const QString& word = {}, QWidget* parent = nullptr);

    void setWord(const QString& word);
    void setColours(std::optional<QColor> background, const QColor& text);

    QString word() const { return word_; }
    std::optional<QColor> background() const { return background_; }
    QColor text() const { return text_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString word_;
    std::optional<QColor> background_;
    QColor text_ = Qt::black;
};

} // namespace mirx::shell
