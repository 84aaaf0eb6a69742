// The view: the world pass and the render state the 2D layer expects after it.
#pragma once

// Material 0 on units 1 and 0, filled polygons, culling, lighting and fog off, the 90-degree
// projection (near 1, far 32000) with the camera at the origin, blend mode 5.
void View_ResetRenderState();
