// The two moments every table is reset, each in one place: at program start, and between two files of a
// batch. Both programs, the tests and the fuzz targets call these and no other list of resets.
#pragma once

#include "nif/nif_document.h"

// Every table back to its zero-filled state of program start, the skeleton's table too. A process starts
// in that state, so the programs need not call it (it would touch every page of the bone table); the
// tests and the fuzz targets, which run many inputs in one process, do.
void Reset_at_Program_Start();

// Between two files of a batch: every table a file fills back to its state at program start, and the
// inputs a refused file left open closed. What must survive stays: the skeleton's table and, with
// `templateMark`, the template's document restored to that mark (without one, the document goes too).
void Reset_between_Files(const NifDocumentMark* templateMark);
