#pragma once
// Per-thread preparation of the video layer, done on the GUI thread before the
// first video is opened and undone after the event loop has returned.
void prepareVideoThread();
void releaseVideoThread();
