#pragma once
// The picture of a scored video: the background (or first) frame with the
// five regions outlined, an occupancy heat map and the track of the animal
// over it, and bars of the time spent in each region.
#include <string>

#include "cli/score_video.h"

// Writes the picture of result (scored with keepSteps and keepFrame) as a
// PNG file at path, through a temporary file, with the regions of the
// boundary it was scored with. False with *error set on failure.
bool writePlot(const std::string& path, const VideoResult& result, std::string* error);

// Frees the drawing library's caches of fonts and patterns. For the end of a
// batch, when no picture is being drawn any more: leak checkers then see a
// clean exit. Drawing may start again afterwards.
void releasePlotCaches();
