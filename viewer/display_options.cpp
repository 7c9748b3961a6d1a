#include "viewer/display_options.h"

namespace kelm::viewer {

DisplayOptions displayOptions;

}  // namespace kelm::viewer
