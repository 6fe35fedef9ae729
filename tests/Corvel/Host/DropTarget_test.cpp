// The drop target of a skinned window, driven by synthetic OLE calls and by
// a real OLE drag within the process: drag events reach the control that
// accepts drops, the drop reaches its handler or the window's, and a control
// dragged out as a file is found again by the drop-folder watchers.
#include "Corvel/Host/ComRef.h"
#include "Corvel/Host/DropTarget.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Host/DataObject.h"
#include "Corvel/Host/DragFileOut.h"
#include "Corvel/Host/DropFileWatch.h"
#include "Corvel/Host/support/DropWindow.h"
#include "support/TestPaths.h"

namespace {

using Microsoft::WRL::ComPtr;
using hosttest::CentreOf;
using hosttest::DropWindow;

// Records the drag events a control receives.
struct EventLog {
    std::vector<int> types;
    void Watch(ui::Control* control)
    {
        for (int type : {ui::kEventDragEnter, ui::kEventDragOver, ui::kEventDragLeave}) {
            control->SetEventHandler(type, [this](ui::InputEvent* e) {
                types.push_back(e->type);
                return true;
            });
        }
    }
};

// The file names of a CF_HDROP in `data`, read as a drop handler reads them;
// the medium is left in the record for the target to release.
std::vector<std::wstring> ReadDroppedFiles(ui::DropRecord* drop)
{
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (FAILED(drop->data->GetData(&format, &drop->medium)))
        return {};
    auto hdrop = static_cast<HDROP>(drop->medium.hGlobal);
    std::vector<std::wstring> names;
    const UINT count = DragQueryFileW(hdrop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(hdrop, i, name, MAX_PATH);
        names.push_back(name);
    }
    return names;
}

ComPtr<IDataObject> MakeFileList(const std::vector<std::wstring>& files)
{
    ComPtr<IDataObject> data = ui::AdoptComRef<IDataObject>(new ui::CIDataObject(nullptr));
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = hosttest::MakeHDrop(files);
    EXPECT_EQ(S_OK, data->SetData(&format, &medium, TRUE));
    return data;
}

class DropTargetTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_F(DropTargetTest, WindowRegistersItsTargetAndRevokesItWhenDestroyed)
{
    auto win = hosttest::OpenDropWindow();
    ASSERT_NE(nullptr, win);
    ui::CDropTarget* target = win->DropTarget();
    ASSERT_NE(nullptr, target);
    EXPECT_TRUE(target->IsRegistered());
    EXPECT_GT(target->GetRefCountForTesting(), 0) << "OLE holds the registered target";
    // Registered once: a second registration of the window is refused.
    ComPtr<IDropTarget> other;
    EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(win->GetHWND(), target));

    DestroyWindow(win->GetHWND());
    EXPECT_FALSE(target->IsRegistered());
    EXPECT_EQ(0, target->GetRefCountForTesting()) << "OLE still holds the target of a destroyed window";
}

TEST_F(DropTargetTest, WindowWithoutDropHasNoTarget)
{
    auto win = hosttest::OpenDropWindow(LR"(<Window size="100,100"><Box/></Window>)");
    ASSERT_NE(nullptr, win);
    EXPECT_EQ(nullptr, win->DropTarget());
}

TEST_F(DropTargetTest, DragEventsFollowTheControlThatAcceptsDrops)
{
    auto win = hosttest::OpenDropWindow();
    ASSERT_NE(nullptr, win);
    ui::CDropTarget* target = win->DropTarget();
    ASSERT_NE(nullptr, target);
    ui::Control* zone = win->Core().FindControlByName(L"Zone");
    ASSERT_NE(nullptr, zone);
    EventLog log;
    log.Watch(zone);
    ComPtr<IDataObject> data = MakeFileList({L"C:\\a.txt"});

    DWORD effect = DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target->DragEnter(data.Get(), MK_LBUTTON, CentreOf(*win, L"Inner"), &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    // Over a child without "drop": its parent is the target.
    EXPECT_EQ(S_OK, target->DragOver(MK_LBUTTON, CentreOf(*win, L"Inner"), &effect));
    EXPECT_EQ(DWORD(DROPEFFECT_COPY), effect);
    EXPECT_EQ(zone, target->GetCurrentTarget());
    target->DragOver(MK_LBUTTON, CentreOf(*win, L"Zone"), &effect);
    // Over a control that takes no drops: none.
    target->DragOver(MK_LBUTTON, CentreOf(*win, L"Plain"), &effect);
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect);
    EXPECT_EQ(nullptr, target->GetCurrentTarget());
    target->DragOver(MK_LBUTTON, CentreOf(*win, L"Zone"), &effect);
    // Leaving the window sends drag-leave to the last target.
    EXPECT_EQ(S_OK, target->DragLeave());
    EXPECT_EQ(nullptr, target->GetCurrentTarget());
    EXPECT_EQ((std::vector<int>{ui::kEventDragEnter, ui::kEventDragOver, ui::kEventDragLeave, ui::kEventDragEnter,
                                ui::kEventDragLeave}),
              log.types);
}

TEST_F(DropTargetTest, DropReachesTheControlsHandlerElseTheWindows)
{
    auto win = hosttest::OpenDropWindow();
    ASSERT_NE(nullptr, win);
    ui::CDropTarget* target = win->DropTarget();
    ASSERT_NE(nullptr, target);
    ui::Control* zone = win->Core().FindControlByName(L"Zone");
    std::vector<std::wstring> zoneFiles, windowFiles;
    POINTL zonePoint{};
    DWORD zoneKeys = 0;
    zone->SetDropHandler([&](ui::DropRecord* drop) {
        zonePoint = drop->point;
        zoneKeys = drop->keyState;
        zoneFiles = ReadDroppedFiles(drop);
    });
    win->Core().SetDropHandler([&](ui::DropRecord* drop) { windowFiles = ReadDroppedFiles(drop); });
    ComPtr<IDataObject> data = MakeFileList({L"C:\\one.txt", L"C:\\文件\\two.txt"});

    DWORD effect = 0;
    const POINTL over = CentreOf(*win, L"Inner");
    target->DragEnter(data.Get(), MK_LBUTTON, over, &effect);
    target->DragOver(MK_LBUTTON, over, &effect);
    EXPECT_EQ(S_OK, target->Drop(data.Get(), MK_SHIFT, over, &effect));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\one.txt", L"C:\\文件\\two.txt"}), zoneFiles);
    EXPECT_TRUE(windowFiles.empty());
    EXPECT_EQ(over.x, zonePoint.x);
    EXPECT_EQ(over.y, zonePoint.y);
    EXPECT_EQ(DWORD(MK_SHIFT), zoneKeys);
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), effect);

    // Over a control without drops the window's handler takes it.
    zoneFiles.clear();
    const POINTL plain = CentreOf(*win, L"Plain");
    target->DragEnter(data.Get(), MK_LBUTTON, plain, &effect);
    target->DragOver(MK_LBUTTON, plain, &effect);
    EXPECT_EQ(S_OK, target->Drop(data.Get(), 0, plain, &effect));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\one.txt", L"C:\\文件\\two.txt"}), windowFiles);
    EXPECT_TRUE(zoneFiles.empty());

    EXPECT_EQ(E_INVALIDARG, target->Drop(nullptr, 0, plain, &effect));
}

TEST_F(DropTargetTest, DropEndsTheDragForItsTarget)
{
    // No pointer to the target survives the drop: a control deleted before
    // the next drag is never sent an event.
    auto win = hosttest::OpenDropWindow();
    ASSERT_NE(nullptr, win);
    ui::CDropTarget* target = win->DropTarget();
    ui::Control* zone = win->Core().FindControlByName(L"Zone");
    EventLog log;
    log.Watch(zone);
    ComPtr<IDataObject> data = MakeFileList({L"C:\\a.txt"});
    DWORD effect = 0;
    const POINTL over = CentreOf(*win, L"Zone");
    target->DragEnter(data.Get(), MK_LBUTTON, over, &effect);
    target->DragOver(MK_LBUTTON, over, &effect);
    target->Drop(data.Get(), 0, over, &effect);
    EXPECT_EQ(nullptr, target->GetCurrentTarget());
    EXPECT_EQ((std::vector<int>{ui::kEventDragEnter, ui::kEventDragLeave}), log.types);
    EXPECT_FALSE(zone->IsHot());
}

// What the shell does with a dropped virtual file: writes the contents under
// the descriptor's name into the folder it was dropped on.
bool WriteVirtualFile(IDataObject* data, const std::wstring& folder, std::wstring& written)
{
    FORMATETC descriptorFormat{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILEDESCRIPTORW)), nullptr,
                               DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC contentsFormat{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILECONTENTS)), nullptr,
                             DVASPECT_CONTENT, 0, TYMED_HGLOBAL};
    STGMEDIUM descriptor{}, contents{};
    if (FAILED(data->GetData(&descriptorFormat, &descriptor)))
        return false;
    bool ok = false;
    if (SUCCEEDED(data->GetData(&contentsFormat, &contents))) {
        auto* group = static_cast<FILEGROUPDESCRIPTORW*>(GlobalLock(descriptor.hGlobal));
        const char* bytes = static_cast<const char*>(GlobalLock(contents.hGlobal));
        if (group && bytes && group->cItems == 1) {
            written = folder + L"\\" + group->fgd[0].cFileName;
            // The file size the descriptor gives, as the shell writes it.
            const size_t size = group->fgd[0].nFileSizeLow;
            ok = testsupport::WriteFileBytes(written, std::string(bytes, size));
        }
        GlobalUnlock(contents.hGlobal);
        GlobalUnlock(descriptor.hGlobal);
        ReleaseStgMedium(&contents);
    }
    ReleaseStgMedium(&descriptor);
    return ok;
}

TEST_F(DropTargetTest, ControlDraggedOutAsFileRevealsTheFolderItLandsIn)
{
    auto win = hosttest::OpenDropWindow();
    ASSERT_NE(nullptr, win);
    testsupport::ScratchDir folder(L"dragout");
    // The window plays the shell's folder: it writes what is dropped on it.
    std::wstring written;
    bool wrote = false;
    IDataObject* kept = nullptr;
    win->Core().SetDropHandler([&](ui::DropRecord* drop) {
        wrote = WriteVirtualFile(drop->data, folder.Path(), written);
        kept = drop->data;
        kept->AddRef();
    });

    const std::wstring name = L"report-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    HANDLE called = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The folder stands for a drive root (Wine watches whole drives too
    // slowly for a bounded wait).
    ASSERT_TRUE(ui::WatchFolderForTesting(folder.Path()));
    std::wstring seenPath;
    std::string seenBytes;
    ASSERT_TRUE(ui::RegisterDropFileWatch(
        [&](const std::wstring& path, const std::string& bytes) {
            seenPath = path;
            seenBytes = bytes;
            SetEvent(called);
        },
        name));
    Sleep(300); // the watchers' first reads are pending

    // No button is down: OLE's drag drops at once where the cursor is.
    const POINTL over = CentreOf(*win, L"Plain");
    SetCursorPos(over.x, over.y);
    EXPECT_TRUE(ui::StartDragSource(nullptr, "drag payload", name, POINT{0, 0}));
    ASSERT_TRUE(wrote) << "the drop did not reach the window";
    // The drag let go of its data object (and with it the drop source).
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(0u, kept->Release()) << "the drag leaked its data object";
    EXPECT_EQ(folder.File(name), written);

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(called, 10000)) << "the watcher did not report the drop";
    CloseHandle(called);
    EXPECT_EQ(CSTR_EQUAL, CompareStringOrdinal(written.c_str(), -1, seenPath.c_str(), -1, TRUE));
    // The descriptor counts the terminating zero byte too.
    EXPECT_EQ(std::string("drag payload\0", 13), seenBytes);
    for (int i = 0; i < 500 && GetFileAttributesW(written.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(20);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(written.c_str())) << "the placeholder stayed";
}

TEST_F(DropTargetTest, NamesTheDescriptorCannotHoldAreNotDragged)
{
    // Cut to 259 characters the name would make a file that no watch ever
    // matches, left behind in the user's folder.
    auto win = hosttest::OpenDropWindow();
    ASSERT_NE(nullptr, win);
    bool dropped = false;
    win->Core().SetDropHandler([&](ui::DropRecord*) { dropped = true; });
    const POINTL over = CentreOf(*win, L"Plain");
    SetCursorPos(over.x, over.y);
    EXPECT_FALSE(ui::StartDragSource(nullptr, "x", std::wstring(ui::kMaxDropFileNameChars + 1, L'n'), POINT{0, 0}));
    EXPECT_FALSE(dropped);
    EXPECT_TRUE(ui::StartDragSource(nullptr, "x", std::wstring(ui::kMaxDropFileNameChars, L'n'), POINT{0, 0}));
    EXPECT_TRUE(dropped);
}

} // namespace
