// The library's own control classes by markup name, in the order start-up
// registers them. A class that is not part of this build has no creator and
// is left unregistered, so the builder reports it as unknown.
#include "Corvel/Core/ControlRegistry.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Host/ActiveX.h"

namespace ui {

namespace {
Control* CreateBox() { return new Box(); }
Control* CreatePlainControl() { return new Control(); }
Control* CreateActiveX() { return new ActiveX(); }
} // namespace

const BuiltinControlClass* BuiltinControlClasses(size_t* count)
{
    static const BuiltinControlClass classes[] = {
        {"CActiveXCtrl", &CreateActiveX},
        {"WebView", nullptr},
        {"Tip", nullptr},
        {"Button", nullptr},
        {"ComboBox", nullptr},
        {"OmniBox", nullptr},
        {"List", nullptr},
        {"ListHeader", nullptr},
        {"ListHeaderItem", nullptr},
        {"ListItem", nullptr},
        {"MenuElement", nullptr},
        {"Menu", nullptr},
        {"Option", nullptr},
        {"ProgressBar", nullptr},
        {"Edit", nullptr},
        {"ScrollBar", nullptr},
        {"Slider", nullptr},
        {"TreeNode", nullptr},
        {"TreeView", nullptr},
        {"WndBox", nullptr},
        {"Box", &CreateBox},
        {"Control", &CreatePlainControl},
        {"HBox", nullptr},
        {"TabBox", nullptr},
        {"GridBox", nullptr},
        {"VBox", nullptr},
        {"FrameAnim", nullptr},
        {"Spinner", nullptr},
    };
    *count = sizeof(classes) / sizeof(classes[0]);
    return classes;
}

} // namespace ui
