#include "midi/midi_output_port.h"
// placeholder until implemented
