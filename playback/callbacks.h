#pragma once
// Widget callbacks of file opening, navigation, playing, recording and the
// processing controls.
class Fl_Widget;

void onOpenFile(Fl_Widget* widget, void* data);
void onPlay(Fl_Widget* widget, void* data);
void onStepBack(Fl_Widget* widget, void* data);
void onStepForward(Fl_Widget* widget, void* data);
void onGoToStart(Fl_Widget* widget, void* data);
void onGoToEnd(Fl_Widget* widget, void* data);
void onVideoTime(Fl_Widget* widget, void* data);
void onRecord(Fl_Widget* widget, void* data);

void onExcludeBoxChanged(Fl_Widget* widget, void* data);
void onProcessingOption(Fl_Widget* widget, void* data);
void onSaveBackground(Fl_Widget* widget, void* data);
void onThresholdChanged(Fl_Widget* widget, void* data);
