// Column header of a list: a horizontal box of header items, laid out left
// to right as the horizontal box lays out its children. UI thread only.
#pragma once

#include "Corvel/Control/HBox.h"

namespace ui {

class List;

class ListHeader : public HBox {
public:
    ListHeader();
    ~ListHeader() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;

    // Borrowed; null until the header joins a list.
    List* GetOwnerList() const { return m_list; }
    void SetOwnerList(List* list) { m_list = list; }

private:
    List* m_list = nullptr;
};

} // namespace ui
