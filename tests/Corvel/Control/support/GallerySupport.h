// Markup and set-up shared by the screenshot tests of the control
// galleries: a file list with a three-column header, edit boxes and an
// omnibox, and the omnibox's drop-down opened beside an edit box that has
// the keyboard focus.
// Header-only.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "Corvel/Control/Edit.h"
#include "Corvel/Control/OmniBox.h"
#include "Corvel/Control/support/EditTestSupport.h"
#include "Corvel/Control/support/SkinnedWindow.h"

namespace controltest {

// A <List> element with `attributes`, a Name / Size / Type header (140, 70
// and 90 units wide, 24 high) and `rows` rows of 22 units: " File n",
// its size in kB and a kind.
inline std::wstring FileListMarkup(const std::wstring& attributes, int rows)
{
    std::wstring markup = L"<List " + attributes + LR"(>
    <ListHeader height="24" bkcolor="#FFE0E4E8">
      <ListHeaderItem text="Name" width="140"/>
      <ListHeaderItem text="Size" width="70"/>
      <ListHeaderItem text="Type" width="90"/>
    </ListHeader>
)";
    const wchar_t* const kinds[] = {L"Folder", L"Picture", L"Text", L"Archive"};
    for (int i = 0; i < rows; ++i) {
        const std::wstring n = std::to_wstring(i);
        markup += L"<ListItem height=\"22\"><Control mouse=\"false\" align=\"left vcenter\" text=\" File " + n +
                  L"\"/><Control mouse=\"false\" text=\"" + std::to_wstring(i * 37 + 3) +
                  L" kB\"/><Control mouse=\"false\" text=\"" + kinds[i % 4] + L"\"/></ListItem>\n";
    }
    return markup + L"</List>\n";
}

// Units from the top of one gallery box to the next one's.
constexpr int kGalleryBoxPitch = 50;

// The attributes of a one-line gallery box 30 units high at (left, top):
// floating, white, framed.
inline std::wstring GalleryBoxPlace(int left, int top, int width)
{
    return L"float=\"true\" pos=\"" + std::to_wstring(left) + L"," + std::to_wstring(top) + L"," +
           std::to_wstring(width) + L",30\" lines=\"false\" bkcolor=\"#FFFFFFFF\" inset=\"6,0,6,0\" "
           L"bordersize=\"1\" bordercolor=\"#FF8090A0\"";
}

// Edit boxes in the galleries' looks: "typed", "hint" (with the placeholder
// "Placeholder") and "pw" (a password box), one under the other from `top`.
inline std::wstring EditBoxesMarkup(int left, int top, int width)
{
    return L"<Edit name=\"typed\" " + GalleryBoxPlace(left, top, width) + L" textcolor=\"#FF202020\"/>\n" +
           L"<Edit name=\"hint\" " + GalleryBoxPlace(left, top + kGalleryBoxPitch, width) +
           L" hint=\"Placeholder\"/>\n" + L"<Edit name=\"pw\" " +
           GalleryBoxPlace(left, top + 2 * kGalleryBoxPitch, width) +
           L" password=\"true\" textcolor=\"#FF202020\"/>\n";
}

// The omnibox "omni" with three suggestions, the second one selected, in a
// drop-down 120 units high.
inline std::wstring OmniBoxMarkup(int left, int top, int width)
{
    return L"<OmniBox name=\"omni\" " + GalleryBoxPlace(left, top, width) + LR"( textcolor="#FF202020">
      <VBox height="120" bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FF8090A0">
        <Control text="corvel.example/download" height="30" textcolor="#FF202020" textpadding="8,0,8,0"/>
        <Control text="corvel.example/help" height="30" textcolor="#FF202020" textpadding="8,0,8,0" selected="true" bkcolor="#FFDDE8F8"/>
        <Control text="corvel.example/news" height="30" textcolor="#FF202020" textpadding="8,0,8,0"/>
      </VBox>
    </OmniBox>
)";
}

// Opens the omnibox's drop-down by activation (so that the keyboard focus
// can show the caret in another box), then focuses `typed`, types `text`
// into it and shows its caret. True once the window is painted with the
// drop-down open and `typed` focused.
inline bool OpenDropDownBesideAFocusedEdit(SkinnedWindow& win, ui::OmniBox* omni, ui::Edit* typed,
                                           const wchar_t* text)
{
    if (!omni->TryActivate())
        return false;
    if (!testsupport::PumpUntil([omni] { return omni->IsDropDownOpen() && omni->GetList()->GetAlpha() > 250; }))
        return false;
    typed->SetFocused(true);
    edittest::TypeText(win.GetHWND(), text);
    typed->SetCaretVisible(true);
    if (!testsupport::PumpUntil([&win] { return IsLaidOutAndPainted(win); }))
        return false;
    return typed->IsFocused() && omni->IsDropDownOpen();
}

} // namespace controltest
