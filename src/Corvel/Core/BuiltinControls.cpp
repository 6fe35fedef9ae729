// The library's own control classes by markup name, in the order start-up
// registers them. A class that is not part of this build has no creator and
// is left unregistered, so the builder reports it as unknown.
#include "Corvel/Core/ControlRegistry.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Control/Button.h"
#include "Corvel/Control/ComboBox.h"
#include "Corvel/Control/Edit.h"
#include "Corvel/Control/FrameAnim.h"
#include "Corvel/Control/GridBox.h"
#include "Corvel/Control/HBox.h"
#include "Corvel/Control/List.h"
#include "Corvel/Control/ListHeader.h"
#include "Corvel/Control/ListHeaderItem.h"
#include "Corvel/Control/ListItem.h"
#include "Corvel/Control/Menu.h"
#include "Corvel/Control/MenuElement.h"
#include "Corvel/Control/OmniBox.h"
#include "Corvel/Control/Option.h"
#include "Corvel/Control/ProgressBar.h"
#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Control/Slider.h"
#include "Corvel/Control/Spinner.h"
#include "Corvel/Control/TabBox.h"
#include "Corvel/Control/TreeNode.h"
#include "Corvel/Control/TreeView.h"
#include "Corvel/Control/Tip.h"
#include "Corvel/Control/VBox.h"
#include "Corvel/Control/WebView/WebView.h"
#include "Corvel/Control/WndBox.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Host/ActiveX.h"

namespace ui {

namespace {
Control* CreateBox() { return new Box(); }
Control* CreateButton() { return new Button(); }
Control* CreateOption() { return new Option(); }
Control* CreateProgressBar() { return new ProgressBar(); }
Control* CreateSlider() { return new Slider(); }
Control* CreatePlainControl() { return new Control(); }
Control* CreateComboBox() { return new ComboBox(); }
Control* CreateEdit() { return new Edit(); }
Control* CreateOmniBox() { return new OmniBox(); }
Control* CreateFrameAnim() { return new FrameAnim(); }
Control* CreateSpinner() { return new Spinner(); }
Control* CreateVBox() { return new VBox(); }
Control* CreateHBox() { return new HBox(); }
Control* CreateGridBox() { return new GridBox(); }
Control* CreateTabBox() { return new TabBox(); }
Control* CreateScrollBar() { return new ScrollBar(); }
Control* CreateActiveX() { return new ActiveX(); }
Control* CreateWebView() { return new WebView(); }
Control* CreateList() { return new List(); }
Control* CreateListHeader() { return new ListHeader(); }
Control* CreateListHeaderItem() { return new ListHeaderItem(); }
Control* CreateListItem() { return new ListItem(); }
Control* CreateTreeNode() { return new TreeNode(); }
Control* CreateTreeView() { return new TreeView(); }
Control* CreateTip() { return new Tip(); }
Control* CreateMenu() { return new Menu(); }
Control* CreateMenuElement() { return new MenuElement(); }
Control* CreateWndBox() { return new WndBox(); }
} // namespace

const BuiltinControlClass* BuiltinControlClasses(size_t* count)
{
    static const BuiltinControlClass classes[] = {
        {"CActiveXCtrl", &CreateActiveX},
        {"WebView", &CreateWebView},
        {"Tip", &CreateTip},
        {"Button", &CreateButton},
        {"ComboBox", &CreateComboBox},
        {"OmniBox", &CreateOmniBox},
        {"List", &CreateList},
        {"ListHeader", &CreateListHeader},
        {"ListHeaderItem", &CreateListHeaderItem},
        {"ListItem", &CreateListItem},
        {"MenuElement", &CreateMenuElement},
        {"Menu", &CreateMenu},
        {"Option", &CreateOption},
        {"ProgressBar", &CreateProgressBar},
        {"Edit", &CreateEdit},
        {"ScrollBar", &CreateScrollBar},
        {"Slider", &CreateSlider},
        {"TreeNode", &CreateTreeNode},
        {"TreeView", &CreateTreeView},
        {"WndBox", &CreateWndBox},
        {"Box", &CreateBox},
        {"Control", &CreatePlainControl},
        {"HBox", &CreateHBox},
        {"TabBox", &CreateTabBox},
        {"GridBox", &CreateGridBox},
        {"VBox", &CreateVBox},
        {"FrameAnim", &CreateFrameAnim},
        {"Spinner", &CreateSpinner},
    };
    *count = sizeof(classes) / sizeof(classes[0]);
    return classes;
}

} // namespace ui
