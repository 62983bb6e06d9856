// The sequence settings of the sequence the road back read: what the sequence file holds beside its key
// text.
#pragma once

// The settings of the controller sequence in ReadBack.Sequence, its text keys from ReadBack.TextKeys;
// its bones must be read before. A field the sequence file cannot hold is a problem line.
void Load_Sequence_Settings();
