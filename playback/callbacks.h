#pragma once
// Widget callbacks of file opening, navigation, playing and recording; those
// of the processing controls are in processing.h.
#include "playback/processing.h"

class Fl_Widget;

void onOpenFile(Fl_Widget* widget, void* data);
void onPlay(Fl_Widget* widget, void* data);
void onStepBack(Fl_Widget* widget, void* data);
void onStepForward(Fl_Widget* widget, void* data);
void onGoToStart(Fl_Widget* widget, void* data);
void onGoToEnd(Fl_Widget* widget, void* data);
void onVideoTime(Fl_Widget* widget, void* data);
void onRecord(Fl_Widget* widget, void* data);

// Plays from the position until the play button is released or the stream
// ends; the event check of each step runs pending callbacks nested inside.
void playLoop();
// Runs one recording run from the position (see recording.cpp).
void recordLoop();
// Shows a record time in seconds and as minutes : seconds.
void showRecordTime(double elapsed);
