#include "app/settings_profile.h"
// placeholder until implemented
