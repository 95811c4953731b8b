#pragma once

#include <QProgressBar>

namespace quorvane::app {

// ProgressBar1: shows its own text inside the bar, exactly as set (no %-placeholders), on one line,
// and takes a value from 0 to 100 in hundredths. A text too long for the bar is shown shortened in
// its middle, so that both its start and its end (a file's extension) stay in view.
class TextProgressBar final : public QProgressBar {
    Q_OBJECT

public:
    using QProgressBar::QProgressBar;
    void setCaption(const QString& text);
    // The whole text, as set.
    QString text() const override { return m_caption; }
    // The text as the bar shows it at its present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
};

} // namespace quorvane::app
