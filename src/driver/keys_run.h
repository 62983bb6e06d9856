// posewright-keys: a .kf animation back to key text, with the problems found in it. Its run, top to
// bottom: the name, open and load the container with the converter's loader, then per controller
// sequence read its bones back and write its key file, then the problems and the closing line.
#pragma once

// posewright-keys on UTF-8 arguments. kExitSuccess when it wrote every key file it could read a
// sequence for, else kExitFailure.
int Posewright_Keys_Main(int argc, const char* const* argv);
