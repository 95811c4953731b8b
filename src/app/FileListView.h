#pragma once

#include "filelist/FileList.h"
#include "filelist/ListControl.h"
#include "filelist/Reorder.h"

#include <QTreeView>

class QFontMetrics;
class QMimeData;

namespace quorvane::shell {
class PointerHost;
}

namespace quorvane::app {

// ListView1: the FileList shown in one resizable column with a header and sideways scrolling. A path
// longer than the column shows shortened in its middle (the file name stays whole where it fits),
// and its hover hint gives the whole path. It removes the selected entry on a double-click or the
// Delete key (not while the window is busy or an import runs), reorders entries by pressing and
// moving inside it, takes drops of local files from other programs and never starts a drag of its own.
class FileListView final : public QTreeView, public filelist::ListControl {
    Q_OBJECT
public:
    // window: the main window's pointer state, consulted for the busy check and reset on movement.
    explicit FileListView(shell::PointerHost& window, QWidget* parent = nullptr);

    // The cursor shown from a click on an entry until the release: drag.ico from this folder,
    // else the closed hand.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }
    // While an import runs, the list counts as busy whatever the pointer shows: it must keep every
    // entry the run reads, so nothing is removed and the move buttons do nothing (entries can still
    // be added). Dragging inside the list has no busy check and still swaps entries, as during any
    // long operation: the run then reads the swapped texts at the positions still ahead of it.
    void setImportRunning(bool running) { m_importRunning = running; }

    // ListControl
    filelist::FileList& fileList() override { return m_list; }
    int selectedPosition() override;
    void select(int position) override;
    void ensureVisible(int position) override;
    void focusList() override;
    bool busy() override;

    // HitTest: the position of the entry under point (viewport coordinates), 0 for none.
    int hitTest(const QPoint& point) const;

    // Whether a drag from another program may drop here: only a list of local files.
    static bool acceptsDrop(const QMimeData* data);
    // path as an entry shows it in width pixels: whole when it fits; else its folders shortened in
    // their middle so that the file name stays whole; when not even that fits, shortened in the
    // middle as a whole.
    static QString shownPath(const QString& path, const QFontMetrics& metrics, int width);
    // The hover hint at point (viewport coordinates): the list's hint, and over an entry its whole
    // path below it, in lines no longer than the hint, broken after a "/" where one is near.
    QString toolTipAt(const QPoint& point) const;

Q_SIGNALS:
    // Local files were dropped on the list. The data lives only while the signal is handled.
    void filesDropped(const QMimeData& dropped);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resetWindowPointer();

    shell::PointerHost& m_window;
    filelist::FileList m_list;
    filelist::DragReorder m_drag{m_list};
    QString m_programFolder;
    bool m_importRunning = false;
};

} // namespace quorvane::app
