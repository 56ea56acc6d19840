#include "parameter_lists.h"

namespace zr70 {

void applyDefaultSelections(ParameterLists& lists) {
    for (ParameterIndex index : kPresetFileOrder) {
        lists.setSelection(index, parameter(index).defaultSelection);
    }
}

} // namespace zr70
