#pragma once

#include "filelist/ListControl.h"

#include "shell/Guard.h"

#include <QPersistentModelIndex>

namespace quorvane::filelist {

// "Move Up": the selected entry and the one before it change places; the moved entry stays
// selected and in view and the list gets the focus. Does nothing at all while busy or on an empty
// list; on the first entry (or with none selected) it only gives the list the focus. The guard
// numbers the steps and reports failures under the handler's location.
void moveUp(ListControl& control, shell::Guard& g);

// "Move Down": the same towards the end of the list; on the last entry (or with none selected) it
// only gives the list the focus.
void moveDown(ListControl& control, shell::Guard& g);

// Reordering by pressing and moving inside the list. The view forwards its mouse events; the
// entries' texts are swapped in place, so the number of entries never changes.
class DragReorder {
public:
    explicit DragReorder(FileList& list) : m_list(list) {}

    // Any mouse-button press over the list arms dragging.
    void press() { m_armed = true; }
    // A click reported on an entry: the list's selected entry at that moment becomes the dragged
    // one (position from 1; 0 leaves it unchanged).
    void clickOnEntry(int selectedPosition);
    // Any mouse-button release over the list disarms dragging; the dragged entry stays known.
    void release() { m_armed = false; }

    // A pointer movement over the list while armed, over entry hoveredPosition (0 for none) at screen
    // height screenY. When that entry's text differs from the dragged one's, the two change places,
    // the hovered entry becomes selected and dragged, and the list scrolls one entry when the pointer
    // is above 305 or at 365 and below. True after a swap.
    bool move(ListControl& control, int hoveredPosition, int screenY);

    bool armed() const { return m_armed; }
    // The dragged entry's position, or 0 when there is none or it no longer stands in the list.
    int draggedPosition() const;

private:
    FileList& m_list;
    bool m_armed = false;
    // Follows its entry through insertions and removals and becomes invalid when the entry is
    // removed, the list cleared, or the entry re-created elsewhere by a button move: such an entry
    // never takes part in a swap again.
    QPersistentModelIndex m_dragged;
};

} // namespace quorvane::filelist
