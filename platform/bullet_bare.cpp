#include "platform/bullet_bare.h"

#include <btBulletDynamicsCommon.h>

#include <memory>
#include <vector>

int BulletBare_SettleBoxes(const float* triangles, int32_t count, const float* centres, int boxes, float half,
                           float mass, float gravityZ, int steps, float seconds) {
  btDefaultCollisionConfiguration config;
  btCollisionDispatcher dispatcher(&config);
  btDbvtBroadphase broadphase;
  btSequentialImpulseConstraintSolver solver;
  btDiscreteDynamicsWorld world(&dispatcher, &broadphase, &solver, &config);
  world.setGravity(btVector3(0, 0, gravityZ));
  world.getDispatchInfo().m_enableSatConvex = true;

  std::vector<float> vertices(triangles, triangles + size_t(count) * 9);
  std::vector<int> indices(size_t(count) * 3);
  for (size_t i = 0; i < indices.size(); i++) indices[i] = int(i);
  btTriangleIndexVertexArray array(count, indices.data(), int(3 * sizeof(int)), count * 3, vertices.data(),
                                   int(3 * sizeof(float)));
  btBvhTriangleMeshShape mesh(&array, true);
  mesh.setMargin(0.01f);
  btRigidBody::btRigidBodyConstructionInfo meshInfo(0, nullptr, &mesh);
  meshInfo.m_friction = 0.8f;
  btRigidBody ground(meshInfo);
  world.addRigidBody(&ground);

  btBoxShape shape(btVector3(half, half, half));
  shape.initializePolyhedralFeatures();
  btVector3 inertia(0, 0, 0);
  shape.calculateLocalInertia(mass, inertia);
  std::vector<std::unique_ptr<btDefaultMotionState>> motions;
  std::vector<std::unique_ptr<btRigidBody>> bodies;
  for (int b = 0; b < boxes; b++) {
    const float* c = centres + size_t(b) * 3;
    motions.push_back(std::make_unique<btDefaultMotionState>(
        btTransform(btMatrix3x3::getIdentity(), btVector3(c[0], c[1], c[2]))));
    btRigidBody::btRigidBodyConstructionInfo info(mass, motions.back().get(), &shape, inertia);
    info.m_friction = 0.8f;
    info.m_linearDamping = 0.05f;
    info.m_angularDamping = 0.1f;
    bodies.push_back(std::make_unique<btRigidBody>(info));
    world.addRigidBody(bodies.back().get());
  }
  volatile float sink = 0;
  for (int s = 0; s < steps; s++) {
    world.stepSimulation(seconds, 0, seconds);
    for (const auto& body : bodies) sink = sink + body->getWorldTransform().getOrigin().z();
  }
  int asleep = 0;
  for (const auto& body : bodies) {
    if (body->getActivationState() == ISLAND_SLEEPING) asleep++;
    world.removeRigidBody(body.get());
  }
  world.removeRigidBody(&ground);
  return asleep;
}
