#include "preset/preset_file.h"
// placeholder until implemented
