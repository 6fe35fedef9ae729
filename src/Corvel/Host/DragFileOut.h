// Drags a control out of its window as one virtual file: the shell writes
// `contents` under `fileName` into the folder it is dropped on. Callers
// register the name with RegisterDropFileWatch first to learn that folder.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

// Runs the modal OLE drag (DoDragDrop) with the formats "FileGroupDescriptorW"
// and "FileContents" and a drag picture made from `bitmap` (borrowed; may be
// null for none). `offset` is the cursor's place in the picture; a 0
// coordinate means the middle. False, without a drag, for a name the file
// descriptor cannot hold whole (see IsDroppableFileName); true once the drag
// has ended, however it ended. UI thread with OLE initialised.
bool StartDragSource(HBITMAP bitmap, const std::string& contents, const std::wstring& fileName, POINT offset);

} // namespace ui
