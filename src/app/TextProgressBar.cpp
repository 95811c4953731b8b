#include "app/TextProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace quorvane::app {

namespace {

// Room left free at either end of the text, as the styles leave around a bar's label.
constexpr int TextMargin = 4;

} // namespace

void TextProgressBar::setCaption(const QString& text) {
    m_caption = text;
    update();
}

QString TextProgressBar::shownText() const {
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    const QRect label = style()->subElementRect(QStyle::SE_ProgressBarLabel, &option, this);
    return fontMetrics().elidedText(m_caption, Qt::ElideMiddle, label.width() - 2 * TextMargin);
}

void TextProgressBar::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.text = shownText();
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

} // namespace quorvane::app
