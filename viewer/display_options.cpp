#include "viewer/display_options.h"

DisplayOptions displayOptions;
