#include "controls/track_control.h"

namespace controls {

// The edit's tracking, compiled once.
template class CTrackControl<fw::CControlClass>;

}  // namespace controls
