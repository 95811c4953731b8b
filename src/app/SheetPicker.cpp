#include "app/SheetPicker.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quorvane::app {

SheetPicker::SheetPicker(const QStringList& names, int current, QWidget* parent)
    : QDialog(parent), m_filter(new QLineEdit(this)), m_list(new QListWidget(this)) {
    setObjectName(u"SheetPicker"_s);
    setWindowTitle(u"Go to Sheet"_s);
    m_filter->setObjectName(u"SheetFilter"_s);
    m_filter->setPlaceholderText(u"Part of the sheet's name"_s);
    m_filter->setClearButtonEnabled(true);
    m_filter->installEventFilter(this);
    m_list->setObjectName(u"SheetList"_s);
    m_list->addItems(names);
    m_list->setUniformItemSizes(true); // thousands of sheets scroll without measuring each
    m_list->setCurrentRow(current);

    auto* label = new QLabel(u"&Sheets whose names contain:"_s, this);
    label->setBuddy(m_filter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(u"&Go to Sheet"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_filter);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &SheetPicker::filter);
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(360, 420);
}

void SheetPicker::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The filter takes the keys, not the dialog's default button.
    m_filter->setFocus(Qt::OtherFocusReason);
}

int SheetPicker::chosen() const {
    const QListWidgetItem* item = m_list->currentItem();
    return item && !item->isHidden() ? m_list->row(item) : -1;
}

void SheetPicker::filter(const QString& text) {
    int first = -1;
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem* item = m_list->item(row);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && first < 0)
            first = row;
    }
    // The selection stays on a sheet still listed, or moves to the first one.
    if (chosen() < 0)
        m_list->setCurrentRow(first);
}

bool SheetPicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_filter && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // Typing goes on in the filter while these move the selection.
            QApplication::sendEvent(m_list, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quorvane::app
