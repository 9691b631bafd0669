#include "midi/TimingMaps.h"
