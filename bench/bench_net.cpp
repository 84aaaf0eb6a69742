// A client's network drain: player-state and world-state messages through NET_ReceiveAll and
// the message handler with 2,000 objects listed, against a plain recvfrom loop draining the same
// datagrams from a socket of its own (goal: at least 0.8 of its rate). Reports the ratio beside
// its goal.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/log.h"
#include "foundation/udp.h"
#include "world/game.h"
#include "world/net.h"
#include "world/netmsg.h"
#include "world/object.h"
#include "world/start.h"

namespace {

using Clock = std::chrono::steady_clock;
uint32_t Loop(int last) { return htonl((127u << 24) | uint32_t(last)); }
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

constexpr int kObjects = 2000;
constexpr int kNumbered = 8;
constexpr int kBatch = 48;  // datagrams a round: within both sockets' buffers

int Bound(uint32_t address) {
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = address;
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
  return s;
}

int PortOf(int s) {
  sockaddr_in a{};
  socklen_t n = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  return ntohs(a.sin_port);
}

void Send(int from, uint32_t address, int port, const std::vector<std::vector<uint8_t>>& batch) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(uint16_t(port));
  for (const auto& d : batch) sendto(from, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void BM_DrainAgainstRecvfrom(benchmark::State& state) {
  Log_Open();
  uint32_t local = 0;
  if (UDP_OpenOn(Loop(7), 0, &local) != 1) {
    state.SkipWithError("no loopback socket");
    return;
  }
  const uint32_t server = Loop(9);
  int sender = Bound(server), plain = Bound(Loop(8));
  NET_Up = 1;
  NET_LocalAddress = Loop(7);
  // A client in a running game: its server's body and 1,999 more objects, 8 of them numbered as
  // in an arena (four pick-ups, a base and a flag per team).
  Obj_ClearAll();
  Game_Running = 1;
  Game_NetMode = 2;
  NET_GameRunning = 1;
  NET_GameStamp = 1.5f;
  NET_ServerAddress = server;
  vec3 zero{};
  NetPlayer_Spawn(nullptr, int32_t(server), 0, "server", &zero, &zero, &zero);
  for (int i = 1; i < kObjects; i++) {
    GameObject* o = Obj_Alloc();
    o->classNum = WORLD;
    Load_ObjectX(o);
    o->flags = OBJ_ACTIVE;
    o->person.state = 1;
    std::snprintf(o->person.name, sizeof o->person.name, i <= kNumbered ? "#%i" : "crate%i", i - 1);
  }
  // Half player states (each newer than the last), half world states.
  std::vector<std::vector<uint8_t>> batch(kBatch, std::vector<uint8_t>(kNetMaxMessageSize));
  NetMessage m{};
  float clock = 1;
  int round = 0;
  auto encode = [&] {
    round++;
    for (int i = 0; i < kBatch; i++) {
      m = NetMessage{};
      m.stamp = NET_GameStamp;
      if (i % 2 == 0) {
        m.type = NETMSG_STATE;
        m.clock = clock += 0.01f;
        m.origin[0] = float(i);
        m.state = 1;
      } else {
        m.type = NETMSG_WORLD;
        // Mostly the same world from frame to frame: a pick-up is taken or comes back now and then.
        for (int n = 0; n < kNetWorldBytes; n++) m.world[n] = uint8_t(n < kNumbered ? 1 + (n == round % kNumbered) : 0);
      }
      batch[i].resize(kNetMaxMessageSize);
      batch[i].resize(size_t(NetMsg_Encode(m, batch[i].data())));
    }
  };
  std::vector<uint8_t> buffer(kNetPacketSize);
  double engine = 0, bare = 0;
  int handled = 0, drained = 0;
  for (auto _ : state) {
    encode();
    Send(sender, Loop(7), UDP_Port(), batch);
    Clock::time_point t0 = Clock::now();
    handled += NET_ReceiveAll();
    Clock::time_point t1 = Clock::now();
    Send(sender, Loop(8), PortOf(plain), batch);
    Clock::time_point t2 = Clock::now();
    for (;;) {
      sockaddr_in from{};
      socklen_t n = sizeof from;
      ssize_t got = recvfrom(plain, buffer.data(), buffer.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &n);
      if (got < 0) break;
      drained++;
    }
    Clock::time_point t3 = Clock::now();
    engine += Seconds(t1 - t0);
    bare += Seconds(t3 - t2);
  }
  if (handled != drained) state.SkipWithError("the two loops saw different datagrams");
  state.counters["datagrams"] = double(handled);
  state.counters["engine_ns"] = handled ? engine * 1e9 / handled : 0;
  state.counters["recvfrom_ns"] = drained ? bare * 1e9 / drained : 0;
  state.counters["ratio"] = engine > 0 ? bare / engine : 0;
  state.counters["goal"] = 0.8;
  close(sender);
  close(plain);
  Obj_ClearAll();
  NET_EndGame();
  Game_Running = 0;
  NET_Up = 0;
  UDP_Close();
  Log_Close();
}
BENCHMARK(BM_DrainAgainstRecvfrom)->Unit(benchmark::kMicrosecond);

}  // namespace
