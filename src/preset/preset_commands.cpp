#include "preset/preset_commands.h"
// placeholder until implemented
