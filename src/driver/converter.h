// The converter's run: keyframe text over a template into a .kf, one key file or a batch of them.
#pragma once

// The converter on UTF-8 arguments. kExitSuccess after the success line (in a batch: when every key
// file converted), else kExitFailure.
int Posewright_Main(int argc, const char* const* argv);
