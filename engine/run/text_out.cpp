#include "engine/run/text_out.h"
