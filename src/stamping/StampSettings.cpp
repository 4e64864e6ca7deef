#include "stamping/StampSettings.h"
