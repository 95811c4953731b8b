#include "filelist/ListControl.h"

namespace quorvane::filelist {

void removeSelectedEntry(ListControl& control) {
    if (control.busy())
        return;
    FileList& list = control.fileList();
    if (list.Count() == 0)
        return;
    // Entries but no selection: there is nothing the user pointed at, so nothing goes.
    const int position = control.selectedPosition();
    if (position >= 1 && position <= list.Count())
        list.Remove(position);
}

} // namespace quorvane::filelist
