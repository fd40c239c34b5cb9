#pragma once
// The scoring of one recording run: what each step adds to the entry counts
// and times. The desktop program's record loop and the headless scorer both
// drive this object, so both give the same numbers for the same video and
// settings.
//
// A run, as both drivers make it:
//
//   RecordingRun run(tracker, ratioThreshold);   // regions reset to the centre
//   if (tracker.streamLength > position) {
//     while (run.mayBeginStep()) {
//       run.beginStep(position, step);          // position and record time advance
//       ... (the desktop program handles events here and may stop)
//       run.scoreStep(processFrame(...), step);
//       if (!(tracker.streamLength > position)) break;
//     }
//   }

#include "analysis/frame_tracker.h"

// The playback step: navigation, playing and each recording step move 0.1 s on.
constexpr double kPlaybackStep = 0.1;

// Record time after which no further step begins.
constexpr double kRecordTimeLimit = 359.99;

struct RunScores {
  int closedEntries = 0;      // entries into the upper or lower arm
  int openEntries = 0;        // entries into the right or left arm
  double openArmTime = 0.0;   // seconds counted as open-arm time
  double totalTime = 0.0;     // seconds of steps whose frame was analysed
  double elapsed = 0.0;       // record time: seconds of steps begun
  // Measures beyond the desktop program's outputs, from the same steps.
  double centerTime = 0.0;        // analysed steps whose region was the centre
  double closedArmTime = 0.0;     // analysed steps whose region was a closed arm
  double firstOpenEntryTime = -1.0;  // record time of the first open-arm entry; -1 if none
};

class RecordingRun {
 public:
  // Starts a run: keeps the ratio threshold as it is now and puts both
  // region fields of the tracker at the centre.
  RecordingRun(FrameTracker& tracker, double ratioThreshold);

  // Whether the record time still allows another step.
  bool mayBeginStep() const { return scores_.elapsed < kRecordTimeLimit; }

  // Moves the position and the record time on by one step.
  void beginStep(double& position, double step);

  // Scores the step just begun from the tracker's region state. A step whose
  // frame was not analysed adds nothing: its region state is the previous
  // frame's, and counting it again would repeat that frame's entry.
  void scoreStep(bool analysed, double step);

  const RunScores& scores() const { return scores_; }
  double startRatioThreshold() const { return startRatioThreshold_; }

 private:
  const FrameTracker& tracker_;
  double startRatioThreshold_;
  RunScores scores_;
};
