// verdaxel-score: scores plus-maze videos without a window.
#include <cstdio>

#include "cli/batch.h"
#include "cli/options.h"
#include "video/video_thread.h"

int main(int argc, char** argv) {
  Options options;
  const ParseResult parsed = parseOptions(argc, argv, &options);
  if (parsed.outcome == ParseOutcome::kHelp) {
    printUsage(stdout);
    return kExitScored;
  }
  if (parsed.outcome == ParseOutcome::kError) {
    std::fprintf(stderr, "verdaxel-score: %s\n(verdaxel-score --help lists the options)\n",
                 parsed.message.c_str());
    return kExitUsage;
  }
  prepareVideoThread();
  const int status = runBatch(options, stdout, stderr);
  releaseVideoThread();
  return status;
}
