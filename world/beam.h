// Beam and lightning effects: records created at start-up and kept for the whole run.
#pragma once

// Creates the six beam records and the lightning record.
void Beam_CreateAll();
void Beam_FreeAll();
