#pragma once

// The analysis settings as the desktop program's controls hold them. The GUI
// reads its widgets into this record at the moment a frame is analysed; the
// headless scorer fills it from its options. Valuator values stay doubles
// here: the analysis truncates each one by itself where it is used.
// Every default is the control's initial value.
struct ExcludeBox {
  double x0 = 340;  // "X0" of the exclude box, pixels from the left
  double y0 = 0;    // "Y0" of the exclude box, pixels from the top
  double w = 146;   // "W", width in pixels
  double h = 26;    // "H", height in pixels
};

struct AnalysisSettings {
  bool removeBackground = true;      // "Remove Background": subtract the saved background
  bool excludeBox = true;            // "Exclude Box": blank the pixels inside the exclude box
  double pixelThreshold = 50;        // "Pixel Threshold", 0..255: active above this level
  double boundaryX0 = 321;           // maze centre x, pixels
  double boundaryY0 = 241;           // maze centre y, pixels
  double boundaryR = 36;             // half-width of the arms, pixels
  double pixelCountThreshold = 1000; // fewer active pixels than this (or equal): no decision
  double ratioThreshold = 60;        // percent a region must exceed to hold the animal
  // Not a desktop control: the headless scorer's "--animal dark". Each gray
  // level of the frame and of the background is taken as 255 - level before
  // background removal, so a dark animal on a light maze counts as bright.
  bool invertLevels = false;
};
