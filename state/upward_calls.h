// Questions a lower layer asks of a higher one. The lower layer cannot
// include the higher one's headers, so start-up hands it the function, as it
// hands the engine its callbacks. Unset, each gives the answer that asks
// for nothing more.
#pragma once

// The recorder, at the end of a download (recordLock held): whether the
// station will be connected again, so recording stays armed for its return.
// Unset: false.
extern bool (*reconnectWillFollowCall)();
