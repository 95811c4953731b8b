#include "filelist/Reorder.h"

namespace quorvane::filelist {

namespace {

// Steps 100 to 106 of both moves: the selected position, or 0 when nothing moves (busy, an empty
// list, or an entry that cannot go that way, cannotMove; then step 118 gives the list the focus).
template <class CannotMove> int movablePosition(ListControl& control, shell::Guard& g, CannotMove&& cannotMove) {
    if (g.test(100, [&] { return control.busy(); }))
        return 0;
    if (g.test(102, [&] { return control.fileList().Count() == 0; }))
        return 0;
    int p = 0;
    g.assign(104, p, [&] { return control.selectedPosition(); });
    if (g.test(106, [&] { return cannotMove(p); })) {
        g.run(118, [&] { control.focusList(); });
        return 0;
    }
    return p;
}

// Steps 112 to 116: the moved entry, now at position, selected and in view, and the list focused.
void showMoved(ListControl& control, shell::Guard& g, int position) {
    g.run(112, [&] { control.select(position); });
    g.run(114, [&] { control.ensureVisible(position); });
    g.run(116, [&] { control.focusList(); });
}

} // namespace

void moveUp(ListControl& control, shell::Guard& g) {
    FileList& list = control.fileList();
    const int p = movablePosition(control, g, [](int at) { return at <= 1; });
    if (p == 0)
        return;
    // Insert a copy in front of the predecessor, then drop the original, now one further down.
    g.run(108, [&] { list.Add(p - 1, list.Text(p)); });
    g.run(110, [&] { list.Remove(p + 1); });
    showMoved(control, g, p - 1);
}

void moveDown(ListControl& control, shell::Guard& g) {
    FileList& list = control.fileList();
    // No selection counts like the last entry: moving "nothing" down must not copy entry 0.
    const int p = movablePosition(control, g, [&list](int at) { return at >= list.Count() || at < 1; });
    if (p == 0)
        return;
    // Insert a copy after the successor (appending when that is the end), then drop the original.
    g.run(108, [&] { list.Add(p + 2, list.Text(p)); });
    g.run(110, [&] { list.Remove(p); });
    showMoved(control, g, p + 1);
}

void DragReorder::clickOnEntry(int selectedPosition) {
    if (selectedPosition >= 1 && selectedPosition <= m_list.Count())
        m_dragged = QPersistentModelIndex(m_list.index(selectedPosition - 1));
}

int DragReorder::draggedPosition() const {
    if (!m_dragged.isValid() || m_dragged.model() != &m_list)
        return 0;
    return m_dragged.row() + 1;
}

bool DragReorder::move(ListControl& control, int hoveredPosition, int screenY) {
    if (!m_armed)
        return false;
    const int dragged = draggedPosition();
    if (dragged == 0 || hoveredPosition < 1 || hoveredPosition > m_list.Count())
        return false;
    // Equal texts swap nothing: this covers the dragged entry itself and its duplicates.
    const QString draggedText = m_list.Text(dragged);
    if (m_list.Text(hoveredPosition) == draggedText)
        return false;
    // The swap is with whatever entry is under the pointer now, not with the neighbour: entries the
    // pointer jumped over between two movements keep their places.
    m_list.SetText(dragged, m_list.Text(hoveredPosition));
    m_list.SetText(hoveredPosition, draggedText);
    control.select(hoveredPosition);
    m_dragged = QPersistentModelIndex(m_list.index(hoveredPosition - 1));
    // Scrolling near the edge looks at the pointer's height on the screen, wherever the window
    // stands, and only right after a swap: a pointer resting near the edge never scrolls.
    if (screenY < 305 && hoveredPosition > 1)
        control.ensureVisible(hoveredPosition - 1);
    else if (screenY >= 365 && hoveredPosition + 1 <= m_list.Count())
        control.ensureVisible(hoveredPosition + 1);
    return true;
}

} // namespace quorvane::filelist
