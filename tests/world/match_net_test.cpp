// A match between two copies of the engine, each its own process on its own loopback address
// (127.0.0.2 hosts, 127.0.0.3 joins), port 5551: the join by refresh, bodies that stand where
// the other copy's player stands, a pick-up, kills and frags, the respawn after 5 s, the
// client's quit and the server's. And the join as two copies on a local network make it: each
// copy in a private network namespace of this test, the two joined by a veth pair (10.77.0.1/24
// hosts, 10.77.0.2/24 joins), both on every address, the server found by broadcast; nothing
// leaves the namespaces, and the test is skipped where they cannot be made.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "characters/actions.h"
#include "characters/defs.h"
#include "foundation/log.h"
#include "foundation/timer.h"
#include "foundation/udp.h"
#include "foundation/var.h"
#include "support/test_support.h"
#include "tools/def_writer.h"
#include "tools/entity_writer.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/net.h"
#include "world/object.h"
#include "world/start.h"

namespace {

enum Copy { HOST, CLIENT };
uint32_t Address(Copy c) { return htonl((127u << 24) | (c == HOST ? 2u : 3u)); }

// What a copy shows of itself each frame.
struct View {
  int running, mode, bodies;
  float player[3];
  int state, frags, money;
  float health;
  float body[3];  // the other copy's body
  int bodyState, bodyFrags;
  int pickup;  // state of "#0"
};

// Steps the test hands the copies; each copy acknowledges the last one it finished.
enum Step { JOIN = 1, WALK, TOUCH, KILL_CLIENT, KILL_HOST, QUIT_CLIENT, REJOIN, QUIT_SERVER, END };

struct Shared {
  int linked;                  // the copies are on the veth pair, not on the loopback
  std::atomic<int> pid[2];
  std::atomic<int> link[2];    // the copy's end of the pair: 1 made (client: its namespace), 2 up
  std::atomic<int> opened[2];  // 1 with its socket, -1 when the address or the link was not to be had
  std::atomic<int> step;
  std::atomic<int> done[2];
  View view[2];
  // The walk: the client's player after each of its frames; the host measures its body of the
  // client against that path, since the two processes are scheduled independently.
  float path[1024][2];
  std::atomic<int> pathCount;
  float maxGap;     // host: largest distance between its body of the client and the client's path
  float maxStride;  // client: largest motion of its player in one frame
};

GameObject* OtherBody() {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->classNum == NETPLAYER && (o->flags & OBJ_ACTIVE)) return o;
  return nullptr;
}

void Publish(View& v) {
  v = View{};
  v.running = Game_Running;
  v.mode = Game_NetMode;
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    v.bodies += o->classNum == NETPLAYER && (o->flags & OBJ_ACTIVE);
    if (std::strcmp(o->person.name, "#0") == 0) v.pickup = o->person.state;
  }
  if (GameObject* p = Obj_Player) {
    v.player[0] = p->origin.x, v.player[1] = p->origin.y, v.player[2] = p->origin.z;
    v.state = p->person.state, v.health = p->person.health, v.frags = p->frags, v.money = p->person.money;
  }
  if (GameObject* b = OtherBody()) {
    v.body[0] = b->origin.x, v.body[1] = b->origin.y, v.body[2] = b->origin.z;
    v.bodyState = b->person.state, v.bodyFrags = b->frags;
  }
}

// The client asks for servers (again every 50 frames until one answers) and joins the row it hears.
int g_asked;
void Join() {
  if (g_asked == 0 || (g_asked % 50 == 0 && !NET_ServerList[0].used)) NET_SendRefreshServerList();
  g_asked++;
  if (NET_ServerList[0].used && !NET_GameRunning && NET_ServerAddress == 0) NET_JoinServer(NET_ServerList[0], 0);
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

template <typename F>
bool Until(F ok, int seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (ok()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return ok();
}

// A copy's end of the veth pair in a namespace of its own: the host makes the pair and hands the
// client its end. Whether the link is up.
bool Link(Copy me, Shared* sh) {
  if (unshare(CLONE_NEWNET) != 0 || Shell("ip link set lo up") != 0) return false;
  if (me == HOST) {
    if (Shell("ip link add tw0 type veth peer name tw1") != 0) return false;
    sh->link[HOST] = 1;
    if (!Until([&] { return sh->link[CLIENT] != 0; }, 10) || sh->link[CLIENT] < 0) return false;
    if (Shell("ip link set tw1 netns " + std::to_string(sh->pid[CLIENT].load())) != 0 ||
        Shell("ip addr add 10.77.0.1/24 dev tw0 && ip link set tw0 up && ip route add default dev tw0") != 0)
      return false;
    sh->link[HOST] = 2;
    return true;
  }
  sh->link[CLIENT] = 1;
  if (!Until([&] { return sh->link[HOST] == 2 || sh->link[HOST] < 0; }, 10) || sh->link[HOST] < 0) return false;
  return Shell("ip addr add 10.77.0.2/24 dev tw1 && ip link set tw1 up && ip route add default dev tw1") == 0;
}

// One copy: frames until the test says END (or a minute passes); the steps act once each.
void RunCopy(Copy me, Shared* sh) {
  Log_Open();
  Timer_Init(0);
  Timer_Init(1);
  GameVars_Init(0);
  for (const DefTable& t : Def_Tables) Def_LoadTable(t);
  Var_SetText(&game_playername, me == HOST ? "Hollis" : "Tamsin");
  sh->pid[me] = getpid();
  if (sh->linked) {  // every address, the local one found as in play, refreshes broadcast
    bool up = Link(me, sh);
    if (!up) sh->link[me] = -1;
    NET_Init(0);
    NET_Init(1);
    sh->opened[me] = up && NET_Up ? 1 : -1;
  } else {
    Var_SetText(&net_refreshaddresses, "127.0.0.2");
    uint32_t local = 0;
    sh->opened[me] = UDP_OpenOn(Address(me), kNetPort, &local) == 1 ? 1 : -1;
    NET_Up = 1;
    NET_LocalAddress = Address(me);
  }
  if (sh->opened[me] != 1) _exit(3);
  if (me == HOST && !NET_HostGame("duel", 0, 0)) _exit(4);
  int acted = 0, walked = 0;
  vec3 last{};
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < until) {
    int step = sh->step.load();
    if (step == END) break;
    Player_CommandWord = 0;
    if (me == CLIENT && (step == JOIN || step == REJOIN) && acted != step) {
      Join();
      if (NET_GameRunning && Obj_Player && OtherBody()) acted = step, g_asked = 0;
    } else if (step == WALK && acted != step) {
      if (me == CLIENT) Player_CommandWord = CMD_FORWARD;
      if (++walked > 60) acted = step;
    } else if (step != acted) {
      acted = step;
      GameObject* body = OtherBody();
      if (me == CLIENT && step == TOUCH && Obj_Player)  // steps onto the pick-up
        for (GameObject* o = Obj_ListHead; o; o = o->next)
          if (std::strcmp(o->person.name, "#0") == 0) Obj_Player->origin = o->origin;
      bool killed = (me == CLIENT && step == KILL_CLIENT) || (me == HOST && step == KILL_HOST);
      if (killed && Obj_Player && body) Obj_Player->slots.Damage(Obj_Player, body, 500, 1, nullptr, 0, 0);
      if ((me == CLIENT && step == QUIT_CLIENT) || (me == HOST && step == QUIT_SERVER)) Level_Free();
    }
    if (me == CLIENT && step == WALK && sh->pathCount == 0 && Obj_Player) {  // where the walk starts
      sh->path[0][0] = Obj_Player->origin.x, sh->path[0][1] = Obj_Player->origin.y;
      sh->pathCount = 1;
    }
    Game_Frame();
    if (Obj_Player) {
      vec3 at = Obj_Player->origin;
      float stride = std::hypot(at.x - last.x, at.y - last.y);
      if (me == CLIENT && step == WALK && walked > 1 && stride > sh->maxStride) sh->maxStride = stride;
      if (me == CLIENT && step == WALK && sh->pathCount < 1024) {
        const int n = sh->pathCount.load();
        sh->path[n][0] = at.x, sh->path[n][1] = at.y;
        sh->pathCount = n + 1;
      }
      last = at;
    }
    Publish(sh->view[me]);
    if (me == HOST && step == WALK && sh->pathCount > 0) {
      const float* body = sh->view[HOST].body;
      float gap = 1e9f;
      for (int i = 0, n = sh->pathCount; i < n; i++)
        gap = std::min(gap, std::hypot(sh->path[i][0] - body[0], sh->path[i][1] - body[1]));
      if (gap > sh->maxGap) sh->maxGap = gap;
    }
    sh->done[me] = acted;
    usleep(3000);
  }
  if (Game_Running) Level_Free();
  Log_Close();
  _exit(0);
}

class Match : public ::testing::Test {
 protected:
  void SetUp() override {
    // The arena: the default start, two deathmatch starts facing each other 300 units apart, a
    // floor, and one pick-up "#0" worth 25 money.
    std::string scn;
    ASSERT_TRUE(Tool_EntityText(
        {{{"classname", "info_player_start"}, {"origin", "0 -400 0"}},
         {{"classname", "info_player_deathmatch"}, {"origin", "0 -150 0"}, {"angle", "0"}},
         {{"classname", "info_player_deathmatch"}, {"origin", "0 150 0"}, {"angle", "180"}},
         {{"classname", "world"}, {"id", "floor"}, {"origin", "0 0 0"}, {"clipbox", "-4000 -4000 -32 4000 4000 0"},
          {"solidbox", "1"}, {"blocked", "1"}},
         {{"classname", "world"}, {"id", "#0"}, {"origin", "300 0 0"}, {"command", "[money][25]"}}},
        &scn));
    for (const char* copy : {"host", "client"}) {
      std::string dir = dir_.Path() + "/" + copy + "/";
      tw_test::WriteFile(dir + "arenas/duel.scn", scn);
      for (const auto& [file, text] : Tool_SampleDefFiles()) tw_test::WriteFile(dir + "scripts/" + file, text);
    }
    void* mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    sh_ = new (mem) Shared{};
    sh_->linked = linked_;
    for (Copy c : {HOST, CLIENT}) {
      pid_[c] = fork();
      ASSERT_GE(pid_[c], 0);
      if (pid_[c] == 0) {
        if (chdir((dir_.Path() + (c == HOST ? "/host" : "/client")).c_str()) != 0) _exit(2);
        RunCopy(c, sh_);
      }
      if (c == HOST) std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the host serves first
    }
    ASSERT_TRUE(Until([&] { return sh_->opened[HOST] && sh_->opened[CLIENT]; }, 20));
    // Another program on this machine may hold the port on every address; namespaces may be
    // out of reach (no privilege, no "ip").
    if (sh_->opened[HOST] < 0 || sh_->opened[CLIENT] < 0)
      GTEST_SKIP() << (linked_ ? "no private network namespaces here" : "the port is taken");
  }
  void TearDown() override {
    sh_->step = END;
    for (pid_t p : pid_) {
      int status = 0;
      for (int i = 0; i < 500 && waitpid(p, &status, WNOHANG) == 0; i++) usleep(10000);
      if (waitpid(p, &status, WNOHANG) == 0) {
        kill(p, SIGKILL);
        waitpid(p, &status, 0);
      }
    }
    munmap(sh_, sizeof(Shared));
  }
  // Hands both copies the step and waits until both finished it.
  void Go(Step s) {
    sh_->step = s;
    ASSERT_TRUE(Until([&] { return sh_->done[HOST] == s && sh_->done[CLIENT] == s; }, 20)) << "step " << s;
  }
  std::string Log(Copy c) { return tw_test::ReadFile(dir_.Path() + (c == HOST ? "/host/log" : "/client/log")); }
  // Each line stands in its copy's log.
  void Logged(std::initializer_list<std::pair<Copy, const char*>> lines) {
    for (const auto& [c, line] : lines) EXPECT_NE(Log(c).find(line), std::string::npos) << line << "\n" << Log(c);
  }
  const View& V(Copy c) { return sh_->view[c]; }
  bool linked_ = false;
  tw_test::TempDir dir_;
  Shared* sh_ = nullptr;
  pid_t pid_[2] = {-1, -1};
};

TEST_F(Match, TwoCopiesJoinSeeEachOtherScoreRespawnAndQuit) {
  // Join: the client asks the listed address, picks the row and is accepted; each copy has one
  // body, standing where the other's player stands.
  Go(JOIN);
  ASSERT_TRUE(Until([&] { return V(HOST).bodies == 1 && V(CLIENT).bodies == 1 && V(CLIENT).mode == 2; }, 10));
  Logged({{CLIENT, "NET:send RefreshServerList to 127.0.0.2"}, {HOST, "NET:incoming Client from 127.0.0.3"},
          {CLIENT, "NET:incoming Server from 127.0.0.2"}, {HOST, "NET:incoming WantConnect from 127.0.0.3"},
          {CLIENT, "NET:incoming AcceptClient from 127.0.0.2"}});
  EXPECT_EQ(V(HOST).mode, 1);

  // The client walks; the host's body of it follows within a frame or two of motion, and once it
  // stands both copies agree on both places.
  Go(WALK);
  EXPECT_GT(sh_->maxStride, 0.0f);
  EXPECT_LE(sh_->maxGap, 2 * sh_->maxStride + 0.5f);
  auto agree = [&] {
    const View &h = V(HOST), &c = V(CLIENT);
    for (int k = 0; k < 3; k++)
      if (std::fabs(h.body[k] - c.player[k]) > 0.01f || std::fabs(c.body[k] - h.player[k]) > 0.01f) return false;
    return true;
  };
  Until(agree, 3);  // the client slides to a stop
  for (Copy c : {HOST, CLIENT}) {
    const View &me = V(c), &other = V(c == HOST ? CLIENT : HOST);
    for (int k = 0; k < 3; k++) EXPECT_NEAR(me.body[k], other.player[k], 0.01) << c << " axis " << k;
  }
  EXPECT_NEAR(V(CLIENT).player[2], 0, 0.5) << "the client stands on the floor";

  // Touch: the client walks into "#0"; the host takes it off the field and confirms; the client
  // collects it.
  Go(TOUCH);
  ASSERT_TRUE(Until([&] { return V(CLIENT).money == 125 && V(HOST).pickup == 2 && V(CLIENT).pickup == 2; }, 5));
  Logged({{HOST, "NET:send TouchConfirm to 127.0.0.3"}});

  // The host's body kills the client: the host scores, both copies see it dead, and 5 s later
  // the host puts it back alive.
  Go(KILL_CLIENT);
  ASSERT_TRUE(Until([&] { return V(HOST).frags == 1 && V(CLIENT).bodyFrags == 1 && V(HOST).bodyState == 2; }, 5));
  EXPECT_EQ(V(CLIENT).state, 2);
  ASSERT_TRUE(Until([&] { return V(CLIENT).state == 1 && V(CLIENT).health == 100 && V(HOST).bodyState == 1; }, 10));
  Logged({{HOST, "NET:incoming Killed from 127.0.0.3"}, {HOST, "NET:send Respawn to client 127.0.0.3"},
          {CLIENT, "NET:incoming Respawn from server 127.0.0.2"}});

  // The client's body kills the host: the client's row scores and the client hears its frag;
  // the host's player comes back by itself 5 s later.
  Go(KILL_HOST);
  ASSERT_TRUE(Until([&] { return V(CLIENT).frags == 1 && V(HOST).state == 2 && V(CLIENT).bodyState == 2; }, 5));
  ASSERT_TRUE(Until([&] { return V(HOST).state == 1 && V(HOST).health == 100 && V(CLIENT).bodyState == 1; }, 10));

  // The client leaves: the host drops its body. It joins again, then the host ends the game.
  Go(QUIT_CLIENT);
  ASSERT_TRUE(Until([&] { return V(HOST).bodies == 0 && !V(CLIENT).running; }, 5));
  Logged({{CLIENT, "client ClientQuit"}, {HOST, "server ClientQuit"}});
  Go(REJOIN);
  ASSERT_TRUE(Until([&] { return V(HOST).bodies == 1 && V(CLIENT).bodies == 1; }, 10));
  Go(QUIT_SERVER);
  ASSERT_TRUE(Until([&] { return !V(CLIENT).running && V(CLIENT).mode == 0 && !V(HOST).running; }, 5));
  Logged({{HOST, "server ServerQuit"}, {CLIENT, "NET:incoming ServerQuit from 127.0.0.2"}, {CLIENT, "client ServerQuit"}});
  EXPECT_EQ((Log(HOST) + Log(CLIENT)).find("refused"), std::string::npos) << Log(HOST) << Log(CLIENT);
}

class MatchOnALink : public Match {
 protected:
  MatchOnALink() { linked_ = true; }
};

TEST_F(MatchOnALink, AJoinerFindsTheServerByBroadcastAndJoinsItsArena) {
  Go(JOIN);
  ASSERT_TRUE(Until([&] { return V(HOST).bodies == 1 && V(CLIENT).bodies == 1 && V(CLIENT).mode == 2; }, 10));
  Logged({{CLIENT, "NET:send RefreshServerList to broadcast"}, {HOST, "NET:incoming Client from 10.77.0.2"},
          {CLIENT, "NET:incoming AcceptClient from 10.77.0.1"}, {CLIENT, "Level_Load: duel"}});
}

}  // namespace
