// What the programs need of the console. The platform layer provides it, one way per platform.
#pragma once

// Flushes standard output, then waits for one key press without echo and without Enter when
// standard input is a console; otherwise consumes at most one byte and returns at end of input.
void Wait_for_Key_Press();
