#pragma once

#include "parameter_table.h"

namespace zr70 {

/// The fifteen drop-down lists, whichever page shows them. They are the only
/// copy of the parameter state.
class ParameterLists {
public:
    virtual ~ParameterLists() = default;

    /// Selection index of the parameter's list, kNoSelection when none is selected.
    virtual int selection(ParameterIndex index) const = 0;

    /// Selects an entry from the program; sends nothing. A value that names no
    /// entry leaves the list without a selection.
    virtual void setSelection(ParameterIndex index, int selection) = 0;
};

/// Sets every list to its default selection, in preset file order.
void applyDefaultSelections(ParameterLists& lists);

} // namespace zr70
