#include "app/FileListView.h"

#include "shell/Pointer.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <stdexcept>

namespace quorvane::app {

using namespace Qt::StringLiterals;

namespace {

// Draws each entry's path shortened to its cell, as shownPath gives it.
class PathDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        // The room the style leaves for the text: its rectangle less the margin on either side.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const int width = style->subElementRect(QStyle::SE_ItemViewItemText, &shown, widget).width() - 2 * margin;
        shown.text = FileListView::shownPath(shown.text, shown.fontMetrics, width);
        shown.textElideMode = Qt::ElideNone;
        style->drawControl(QStyle::CE_ItemViewItem, &shown, painter, widget);
    }
};

// text in lines of at most width characters, each broken after its last "/" when that leaves the
// line at least half full, else at width.
QString inLines(QString text, qsizetype width) {
    QStringList lines;
    while (text.size() > width) {
        qsizetype cut = text.lastIndexOf(u'/', width - 1) + 1;
        if (cut < width / 2)
            cut = width;
        lines.append(text.left(cut));
        text.remove(0, cut);
    }
    lines.append(text);
    return lines.join(u'\n');
}

} // namespace

FileListView::FileListView(shell::PointerHost& window, QWidget* parent) : QTreeView(parent), m_window(window) {
    setModel(&m_list);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Long paths are read by widening the column past the list's edge and scrolling sideways, or in
    // the hover hint; the column shows what fits.
    setItemDelegate(new PathDelegate(this));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setSectionsMovable(false);
    // Drops come from other programs only; the list itself never starts a drag.
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setMouseTracking(true);
    header()->setMouseTracking(true);
    header()->installEventFilter(this);
}

int FileListView::selectedPosition() {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void FileListView::select(int position) {
    const QModelIndex index = m_list.index(position - 1);
    if (!index.isValid())
        throw std::out_of_range("Index out of bounds");
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FileListView::ensureVisible(int position) {
    const QModelIndex index = m_list.index(position - 1);
    if (!index.isValid())
        throw std::out_of_range("Index out of bounds");
    // Only the rows scroll: the sideways position the user chose stays.
    const int sideways = horizontalScrollBar()->value();
    scrollTo(index, QAbstractItemView::EnsureVisible);
    horizontalScrollBar()->setValue(sideways);
}

void FileListView::focusList() {
    setFocus(Qt::OtherFocusReason);
}

bool FileListView::busy() {
    return m_importRunning || m_window.pointer() == shell::PointerShape::Busy;
}

int FileListView::hitTest(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() + 1 : 0;
}

bool FileListView::acceptsDrop(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
}

QString FileListView::shownPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash > 0) {
        const QString name = path.mid(slash);
        const int folderWidth = width - metrics.horizontalAdvance(name);
        if (folderWidth >= metrics.horizontalAdvance(u"\u2026/"_s))
            return metrics.elidedText(path.left(slash), Qt::ElideMiddle, folderWidth) + name;
    }
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

QString FileListView::toolTipAt(const QPoint& point) const {
    const int position = hitTest(point);
    if (position == 0)
        return toolTip();
    return toolTip() + u'\n' + inLines(m_list.Text(position), toolTip().size());
}

void FileListView::resetWindowPointer() {
    if (m_window.pointer() != shell::PointerShape::Busy)
        m_window.setPointer(shell::PointerShape::Default);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    m_drag.press();
    QTreeView::mousePressEvent(event);
    // A press on an entry selects it and counts as the click on it at once, so pressing an entry
    // and moving drags that entry.
    if (hitTest(event->position().toPoint()) == 0)
        return;
    const QString icon = m_programFolder + u"/drag.ico"_s;
    const QPixmap image(icon);
    viewport()->setCursor(image.isNull() ? QCursor(Qt::ClosedHandCursor) : QCursor(image));
    m_drag.clickOnEntry(selectedPosition());
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    m_drag.release();
    // The arrow, set as such: without a cursor of its own the list would show the window's (the
    // hand, or the hourglass during a run).
    viewport()->setCursor(Qt::ArrowCursor);
    QTreeView::mouseReleaseEvent(event);
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    resetWindowPointer();
    if (!m_drag.armed()) {
        QTreeView::mouseMoveEvent(event); // hover feedback only
        return;
    }
    // While armed the view's own handling (which would move the selection) stays out of the way.
    m_drag.move(*this, hitTest(event->position().toPoint()), qRound(event->globalPosition().y()));
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    filelist::removeSelectedEntry(*this);
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    // Delete removes whatever Shift, Ctrl or Alt are held; every other key is the view's.
    if (event->key() == Qt::Key_Delete) {
        filelist::removeSelectedEntry(*this);
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FileListView::dropEvent(QDropEvent* event) {
    if (!acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT filesDropped(*event->mimeData());
}

bool FileListView::viewportEvent(QEvent* event) {
    // The list's hint shows over the whole list, entries included, with the entry's whole path.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), toolTipAt(help->pos()), viewport());
        return true;
    }
    return QTreeView::viewportEvent(event);
}

bool FileListView::eventFilter(QObject* watched, QEvent* event) {
    // The header is part of the list: moving over it resets the window's pointer too.
    if (watched == header() && event->type() == QEvent::MouseMove)
        resetWindowPointer();
    return QTreeView::eventFilter(watched, event);
}

} // namespace quorvane::app
