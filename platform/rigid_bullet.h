// The rigid-body world on the Bullet library: one dynamics world with one static triangle mesh
// and box bodies. Units are whatever the caller steps in (the physics wrapper scales game units);
// nothing of Bullet shows outside this layer.
#pragma once
#include <cstdint>

// Makes the world (empty, no mesh) with gravity along z; a world already made is kept. 0 when
// the library cannot make one.
int Rigid_Open(float gravityZ);
// Releases every body, the mesh and the world.
void Rigid_Close();
int Rigid_IsOpen();

// Replaces the static mesh by `count` triangles of nine floats each (copied). Triangles with a
// coordinate that is not finite are left out; 0 (and no mesh) when none is left.
int Rigid_SetMesh(const float* triangles, int32_t count);
void Rigid_ClearMesh();
int32_t Rigid_MeshTriangles();

// A box body of `half` extents and `mass` (above 0), centred at `centre`, turned by `basis`
// (3 x 3, row-major, world = basis x local). Returns its handle, or -1.
int Rigid_AddBox(const float half[3], float mass, const float centre[3], const float basis[9]);
void Rigid_RemoveBox(int handle);
// Advances the world by exactly one step of `seconds`.
void Rigid_Step(float seconds);
// The body's centre and basis (row-major, world = basis x local); 0 for no such body.
int Rigid_GetBox(int handle, float centre[3], float basis[9]);
// Moves the body (teleport) and sets its linear velocity; it wakes.
void Rigid_PlaceBox(int handle, const float centre[3], const float velocity[3]);
// An impulse at a world point; the body wakes.
void Rigid_ApplyImpulse(int handle, const float impulse[3], const float point[3]);
float Rigid_Mass(int handle);
// 1 when the body sleeps (the library's resting state).
int Rigid_IsSleeping(int handle);
