#pragma once

// The controls of the main window that draw themselves: the tall move buttons, the option frames and
// the arrows of the move buttons.

#include <QGroupBox>
#include <QIcon>
#include <QPushButton>

namespace quorvane::app {

// The tall move buttons: the arrow above a caption that wraps onto two lines.
class MoveButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Frame1 and Frame2. Fusion fills a group box with a faint shade (white turns #FCFCFC); here the
// frame is only outlined, so its inside is the window's own background. Other styles, and a skin,
// draw it their own way.
class Frame final : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The 32 x 32 arrows of the move buttons, drawn at start: a blue arrow with a dark outline.
QIcon arrowIcon(bool up);

} // namespace quorvane::app
