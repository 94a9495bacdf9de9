#include "platform/stop_signals.h"

namespace pressory::platform {

// Windows ends a windowed program through its session messages, which the
// window toolkit delivers; there is nothing to watch here.
int installStopSignalSocket() { return -1; }
int readStopSignal(int) { return 0; }

}  // namespace pressory::platform
