#include "app/Form1Controls.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QStylePainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::app {

namespace {

// True for Fusion, also behind the proxy a desktop's platform theme puts around it.
bool isFusion(const QStyle* style) {
    while (const auto* proxy = qobject_cast<const QProxyStyle*>(style))
        style = proxy->baseStyle();
    return style && style->name().compare(u"fusion"_s, Qt::CaseInsensitive) == 0;
}

} // namespace

void MoveButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const QRect inner = rect().adjusted(2, 6, -2, -2);
    const QSize size = iconSize();
    icon().paint(&painter, QRect(QPoint(inner.center().x() - size.width() / 2 + 1, inner.top()), size));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    // The mnemonic's underline, where the style shows it.
    const int mnemonic =
        style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic;
    painter.drawText(inner.adjusted(0, size.height() + 2, 0, 0),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | mnemonic, text());
}

void Frame::paintEvent(QPaintEvent* event) {
    if (!isFusion(style()) || !window()->styleSheet().isEmpty()) {
        QGroupBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    QRect frame = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, this);
    option.subControls &= ~QStyle::SC_GroupBoxFrame;
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
    // Where Fusion puts the frame's top: below the title, with the same gap.
    constexpr int TitleGap = 3;
    frame.setTop(frame.top() +
                 std::max(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, &option, this),
                          option.fontMetrics.height()) +
                 TitleGap);
    // A line in the grey of Fusion's own frame.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Window).darker(116), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(frame).adjusted(1.5, 2.5, -0.5, -0.5), 2, 2);
}

QIcon arrowIcon(bool up) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(16, 3);
    arrow.lineTo(29, 16);
    arrow.lineTo(21, 16);
    arrow.lineTo(21, 29);
    arrow.lineTo(11, 29);
    arrow.lineTo(11, 16);
    arrow.lineTo(3, 16);
    arrow.closeSubpath();
    if (!up)
        arrow = QTransform(1, 0, 0, -1, 0, 32).map(arrow);
    QLinearGradient fill(0, 0, 32, 32);
    fill.setColorAt(0, QColor(0x5b, 0xa7, 0xf0));
    fill.setColorAt(1, QColor(0x1c, 0x5f, 0xb8));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(0x12, 0x3a, 0x70), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(arrow);
    return QIcon(pixmap);
}

} // namespace quorvane::app
