// verdaxel-make-sample: writes the bundled sample session, a synthetic plus
// maze seen from above at the desktop program's default boundary, with an
// empty-maze lead-in for the background and then an animal that visits every
// arm and the centre. The video is losslessly coded (FFV1 in AVI), so every
// build scores exactly the same pictures.
#include <cstdio>
#include <string>

#include "tools/maze_scene.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: verdaxel-make-sample OUTPUT.avi\n");
    return 2;
  }
  std::string error;
  if (!writeSampleSession(argv[1], FixtureCodec::kFfv1Avi, kSampleFramesPerSecond, kSampleSeconds,
                          &error)) {
    std::fprintf(stderr, "verdaxel-make-sample: cannot write %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
