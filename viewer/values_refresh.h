// Refreshing the data inspector from the selection: the nine value records
// (viewer/decoded_values.h) and the status fields "dec" and "bin".
#pragma once

namespace kelm::viewer {

// Reads the selection (at most eight bytes) and recomputes every record and
// both status fields; an inactive selection or one longer than eight bytes
// shows "---" everywhere and hides both fields.
void RefreshInspector();

// "---" in every record; hides "dec" and "bin".
void ClearInspector();

}  // namespace kelm::viewer
