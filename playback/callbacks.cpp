#include "playback/callbacks.h"

// Wired now; each does its work once its part of the program is in.
void onOpenFile(Fl_Widget*, void*) {}
void onPlay(Fl_Widget*, void*) {}
void onStepBack(Fl_Widget*, void*) {}
void onStepForward(Fl_Widget*, void*) {}
void onGoToStart(Fl_Widget*, void*) {}
void onGoToEnd(Fl_Widget*, void*) {}
void onVideoTime(Fl_Widget*, void*) {}
void onRecord(Fl_Widget*, void*) {}
void onExcludeBoxChanged(Fl_Widget*, void*) {}
void onProcessingOption(Fl_Widget*, void*) {}
void onSaveBackground(Fl_Widget*, void*) {}
void onThresholdChanged(Fl_Widget*, void*) {}
