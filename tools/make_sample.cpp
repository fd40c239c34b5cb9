// verdaxel-make-sample: writes the bundled sample session, a synthetic plus
// maze seen from above at the desktop program's default boundary, with an
// empty-maze lead-in for the background and then an animal that visits every
// arm and the centre. The video is losslessly coded (FFV1 in AVI), so every
// build scores exactly the same pictures.
#include <cstdio>
#include <string>

#include "tools/fixture_video.h"
#include "tools/maze_scene.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: verdaxel-make-sample OUTPUT.avi\n");
    return 2;
  }
  const std::string output = argv[1];
  const MazeScene scene;
  const std::vector<PathPoint> path = samplePath(scene);

  FixtureVideoSpec spec;
  spec.codec = FixtureCodec::kFfv1Avi;
  spec.width = scene.width;
  spec.height = scene.height;
  spec.fpsNum = kSampleFramesPerSecond;
  spec.fpsDen = 1;
  spec.frameCount = static_cast<int>(kSampleSeconds * kSampleFramesPerSecond);

  // Written under another name first, so a half-written sample is never taken
  // for a finished one.
  const std::string partial = output + ".part";
  std::string error;
  const bool written = writeFixtureVideo(
      partial, spec,
      [&](int frame, uint8_t* rgb, int stride) {
        paintMaze(scene, rgb, stride);
        paintTimeStamp(scene, frame, rgb, stride);
        paintAnimal(scene, placeAt(path, static_cast<double>(frame) / kSampleFramesPerSecond), rgb,
                    stride);
      },
      &error);
  if (!written || std::rename(partial.c_str(), output.c_str()) != 0) {
    std::remove(partial.c_str());
    std::fprintf(stderr, "verdaxel-make-sample: cannot write %s: %s\n", output.c_str(),
                 written ? "rename failed" : error.c_str());
    return 1;
  }
  return 0;
}
