// Street population: passers-by and traffic spawned at the edge of the simulated ring.
#pragma once

// Once a tick, outside camera sequences.
void Street_Populate();
