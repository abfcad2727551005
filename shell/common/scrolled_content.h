#pragma once

class QScrollArea;
class QWidget;

// For views with more fields than a small screen holds: the fields scroll,
// and the view opens at their full size, or the screen's when smaller.

namespace mirx::shell {

QScrollArea* scrolledContent(QWidget* content);
// Call once the view's layout holds the scroll area and its buttons.
void sizeToContent(QWidget& view, const QWidget& content);

} // namespace mirx::shell
