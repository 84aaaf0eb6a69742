#include "platform/rigid_bullet.h"

#include <btBulletDynamicsCommon.h>

#include <cmath>
#include <memory>
#include <vector>

#include "foundation/log.h"

namespace {

struct Box {
  std::unique_ptr<btBoxShape> shape;
  std::unique_ptr<btDefaultMotionState> motion;
  std::unique_ptr<btRigidBody> body;
};

struct World {
  std::unique_ptr<btDefaultCollisionConfiguration> config;
  std::unique_ptr<btCollisionDispatcher> dispatcher;
  std::unique_ptr<btDbvtBroadphase> broadphase;
  std::unique_ptr<btSequentialImpulseConstraintSolver> solver;
  std::unique_ptr<btDiscreteDynamicsWorld> world;
  // The static mesh: its vertices and indices stay alive as long as the shape.
  std::vector<float> meshVertices;
  std::vector<int> meshIndices;
  std::unique_ptr<btTriangleIndexVertexArray> meshArray;
  std::unique_ptr<btBvhTriangleMeshShape> meshShape;
  std::unique_ptr<btRigidBody> meshBody;
  int32_t meshTriangles = 0;
  std::vector<Box> boxes;  // by handle; a freed one has no body
};

std::unique_ptr<World> g_world;

Box* BoxOf(int handle) {
  if (!g_world || handle < 0 || size_t(handle) >= g_world->boxes.size()) return nullptr;
  Box* b = &g_world->boxes[size_t(handle)];
  return b->body ? b : nullptr;
}

btMatrix3x3 Basis(const float m[9]) {
  return btMatrix3x3(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]);
}

}  // namespace

int Rigid_Open(float gravityZ) {
  if (g_world) return 1;
  auto w = std::make_unique<World>();
  w->config = std::make_unique<btDefaultCollisionConfiguration>();
  w->dispatcher = std::make_unique<btCollisionDispatcher>(w->config.get());
  w->broadphase = std::make_unique<btDbvtBroadphase>();
  w->solver = std::make_unique<btSequentialImpulseConstraintSolver>();
  w->world = std::make_unique<btDiscreteDynamicsWorld>(w->dispatcher.get(), w->broadphase.get(), w->solver.get(),
                                                       w->config.get());
  if (!w->world) {
    Log_Printf("Rigid_Open: the library made no world\n");
    return 0;
  }
  w->world->setGravity(btVector3(0, 0, gravityZ));
  // Boxes meet triangles and boxes face to face (several contact points at once), so a box that
  // lands flat stays flat.
  w->world->getDispatchInfo().m_enableSatConvex = true;
  g_world = std::move(w);
  return 1;
}

void Rigid_ClearMesh() {
  if (!g_world || !g_world->meshBody) return;
  g_world->world->removeRigidBody(g_world->meshBody.get());
  g_world->meshBody.reset();
  g_world->meshShape.reset();
  g_world->meshArray.reset();
  g_world->meshVertices.clear();
  g_world->meshIndices.clear();
  g_world->meshTriangles = 0;
}

void Rigid_Close() {
  if (!g_world) return;
  for (Box& b : g_world->boxes)
    if (b.body) g_world->world->removeRigidBody(b.body.get());
  g_world->boxes.clear();
  Rigid_ClearMesh();
  g_world.reset();
}

int Rigid_IsOpen() { return g_world != nullptr; }

int Rigid_SetMesh(const float* triangles, int32_t count) {
  if (!g_world) return 0;
  Rigid_ClearMesh();
  if (!triangles || count <= 0) return 0;
  World& w = *g_world;
  w.meshVertices.reserve(size_t(count) * 9);
  for (int32_t t = 0; t < count; t++) {
    const float* v = triangles + size_t(t) * 9;
    bool finite = true;
    for (int k = 0; k < 9; k++) finite = finite && std::isfinite(v[k]);
    if (finite) w.meshVertices.insert(w.meshVertices.end(), v, v + 9);
  }
  int32_t kept = int32_t(w.meshVertices.size() / 9);
  if (kept == 0) {
    w.meshVertices.clear();
    return 0;
  }
  w.meshIndices.resize(size_t(kept) * 3);
  for (size_t i = 0; i < w.meshIndices.size(); i++) w.meshIndices[i] = int(i);
  w.meshArray = std::make_unique<btTriangleIndexVertexArray>(kept, w.meshIndices.data(), int(3 * sizeof(int)),
                                                             kept * 3, w.meshVertices.data(), int(3 * sizeof(float)));
  w.meshShape = std::make_unique<btBvhTriangleMeshShape>(w.meshArray.get(), true);
  w.meshShape->setMargin(0.01f);
  btRigidBody::btRigidBodyConstructionInfo info(0, nullptr, w.meshShape.get());
  info.m_friction = 0.8f;
  w.meshBody = std::make_unique<btRigidBody>(info);
  w.world->addRigidBody(w.meshBody.get());
  w.meshTriangles = kept;
  return 1;
}

int32_t Rigid_MeshTriangles() { return g_world ? g_world->meshTriangles : 0; }

int Rigid_AddBox(const float half[3], float mass, const float centre[3], const float basis[9]) {
  if (!g_world || !(mass > 0)) return -1;
  World& w = *g_world;
  size_t slot = 0;
  while (slot < w.boxes.size() && w.boxes[slot].body) slot++;
  if (slot == w.boxes.size()) w.boxes.emplace_back();
  Box& b = w.boxes[slot];
  b.shape = std::make_unique<btBoxShape>(btVector3(half[0], half[1], half[2]));
  // Faces and edges for the contact clipping: a box meets a triangle on a whole face, not a point.
  b.shape->initializePolyhedralFeatures();
  btVector3 inertia(0, 0, 0);
  b.shape->calculateLocalInertia(mass, inertia);
  btTransform start(Basis(basis), btVector3(centre[0], centre[1], centre[2]));
  b.motion = std::make_unique<btDefaultMotionState>(start);
  btRigidBody::btRigidBodyConstructionInfo info(mass, b.motion.get(), b.shape.get(), inertia);
  info.m_friction = 0.8f;
  info.m_restitution = 0;
  info.m_linearDamping = 0.05f;
  info.m_angularDamping = 0.1f;
  b.body = std::make_unique<btRigidBody>(info);
  w.world->addRigidBody(b.body.get());
  return int(slot);
}

void Rigid_RemoveBox(int handle) {
  Box* b = BoxOf(handle);
  if (!b) return;
  g_world->world->removeRigidBody(b->body.get());
  b->body.reset();
  b->motion.reset();
  b->shape.reset();
}

void Rigid_Step(float seconds) {
  if (!g_world || !(seconds > 0)) return;
  g_world->world->stepSimulation(seconds, 0, seconds);
}

int Rigid_GetBox(int handle, float centre[3], float basis[9]) {
  Box* b = BoxOf(handle);
  if (!b) return 0;
  const btTransform& t = b->body->getWorldTransform();
  const btVector3& o = t.getOrigin();
  centre[0] = o.x();
  centre[1] = o.y();
  centre[2] = o.z();
  const btMatrix3x3& m = t.getBasis();
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) basis[3 * r + c] = m[r][c];
  return 1;
}

void Rigid_PlaceBox(int handle, const float centre[3], const float velocity[3]) {
  Box* b = BoxOf(handle);
  if (!b) return;
  btTransform t = b->body->getWorldTransform();
  t.setOrigin(btVector3(centre[0], centre[1], centre[2]));
  b->body->setWorldTransform(t);
  b->motion->setWorldTransform(t);
  b->body->setLinearVelocity(btVector3(velocity[0], velocity[1], velocity[2]));
  b->body->activate(true);
}

void Rigid_ApplyImpulse(int handle, const float impulse[3], const float point[3]) {
  Box* b = BoxOf(handle);
  if (!b) return;
  b->body->activate(true);
  btVector3 rel = btVector3(point[0], point[1], point[2]) - b->body->getCenterOfMassPosition();
  b->body->applyImpulse(btVector3(impulse[0], impulse[1], impulse[2]), rel);
}

float Rigid_Mass(int handle) {
  Box* b = BoxOf(handle);
  if (!b) return 0;
  float inv = b->body->getInvMass();
  return inv > 0 ? 1.0f / inv : 0.0f;
}

int Rigid_IsSleeping(int handle) {
  Box* b = BoxOf(handle);
  return b && b->body->getActivationState() == ISLAND_SLEEPING ? 1 : 0;
}
