#include "app/panel_controller.h"
// placeholder until implemented
