#pragma once

#include "filelist/FileList.h"

namespace quorvane::filelist {

// What the list's handlers need of the control that shows the FileList: the list itself, its
// selection, scrolling and focus, and whether the main window shows the busy pointer. The window's
// list view implements it; tests use a plain fake.
class ListControl {
public:
    virtual ~ListControl() = default;
    virtual FileList& fileList() = 0;
    // 0 when no entry is selected.
    virtual int selectedPosition() = 0;
    virtual void select(int position) = 0;
    virtual void ensureVisible(int position) = 0;
    virtual void focusList() = 0;
    // True while a long operation shows the busy pointer on the main window.
    virtual bool busy() = 0;
};

// Removal by double-click or the Delete key: nothing while busy or when the list is empty;
// otherwise removes the selected entry (nothing when none is selected). Never reports a failure.
void removeSelectedEntry(ListControl& control);

} // namespace quorvane::filelist
