// The frame's input handlers and the state they share with the menus and quests.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct GameObject;

// Set while a text-entry field has the keyboard: the hot keys wait.
extern uint32_t Game_TextFieldActive;
// The shop the use key opened (-1 none).
extern int32_t Game_CurrentShop;
// Set when the next start origin and angles go with the pending level.
extern uint32_t Game_NextStartGiven;
// A level start's place (units) and angles (degrees in use texts, radians once taken) lie within
// this; a start beyond it, or not a number, is no place in the world.
constexpr float kGameStartLimit = 1.0e6f;
// The health of the car the player drives.
extern float Game_PlayerCarHealth;

void Game_FullScreenInput();

// Mouse look: the frame's mouse counts, each blended with the last frame's, turn the view by
// pi x 0.022 x "mouse_sensitivity" (18 when missing) / 180 radians a count; the pitch takes the
// vertical factor and turns the other way ("mouse_invert" non-zero turns it back). Fills the turn
// and pitch of the current record.
constexpr float kMouseSmoothing = 0.5f;  // share of the last frame's motion
constexpr float kMouseVertical = 0.75f;
extern float Game_MousePrevious[2];
void Game_MouseLook();
// The player steps out of its car: the car comes back beside it as the definition's entity, its
// place goes into the car-position table, the engine stops. Nothing on foot.
void Game_LeaveCar(GameObject* player);

// What the use key started, for the screens and the play screen to show: the searched body and
// the hacked object (ids, 0 none; only one at a time), the hacking difficulty, the mini-game's
// name. (A stranger's voiced line goes to the play screen's subtitle.)
struct GameUseState {
  uint32_t searchedId;
  int characterTaken;  // set by a character's Use slot when the use key's press was taken
  uint32_t hackedId;
  float hackDifficulty;
  char miniGame[64];
};
extern GameUseState Game_Use;
// The use key on a character: a body is searched, a parked car entered, a partner talked to, a
// stranger says a line. Returns 1 when the key was taken (not by a stranger's line).
int Game_UseCharacter(GameObject* player, GameObject* character);
// Strangers' voiced lines: 2 genders (0 male, 1 female) x 16 voice sets x 16 lines. A line is
// the sound "sound\voices\<male|female>\<set>_<line>" (two digits each; available when its
// ".wav" is there) and the text of the same name without "sound\".
constexpr int kVoiceSets = 16;
constexpr int kVoiceLines = 16;
const char* Game_VoiceLineName(int gender, int set, int line);
// What the use key would do now with a world object's use text ("[keyword][argument]..."):
// "minigame" [name] (the name is kept; the game starts with more than 50 money), "shop" [name]
// (a defined shop, single play), "changelevel" [level] [x y z ax ay az] (single play, neither
// level blocked, on foot) or "changelevel" [TransportSystem] (single play, neither level blocked,
// no Transport System screen open, no level change pending, a system with districts, open or
// closed), "car" [car] [key item] (a defined car, on foot; locked without the key). The play
// input acts on it and the play screen prompts for it, so a prompt never offers what the key
// refuses.
enum UseTextAction : int32_t {
  USE_TEXT_NONE,
  USE_TEXT_MINIGAME,
  USE_TEXT_SHOP,
  USE_TEXT_LEVEL,
  USE_TEXT_TRANSPORT,
  USE_TEXT_CAR,
  USE_TEXT_CAR_LOCKED,  // the key says "You do not have the key"
};
struct UseTextOffer {
  int32_t action;
  int32_t index;        // the shop's or the car's definition row
  char name[256];       // the mini-game, shop, car or level named
  vec3 origin, angles;  // a level's start (angles in radians)
};
int Game_ReadUseText(const GameObject* player, const char* text, UseTextOffer* out);
// Acts on a use text as Game_ReadUseText reads it. The target is the used world object. Returns
// 1 when a keyword acted.
int Game_ApplyUseText(GameObject* player, GameObject* target, const char* text);
// How many keys the bindings give the quick save (found again only after a binding changed).
int Game_QuickSaveKeyCount();
// Whether one of the first two keys bound to "Inventory" (or to "Quests", the goals) was pressed
// this frame: they open their screens in play and close them again.
int Game_InventoryKeyPressed();
int Game_GoalsKeyPressed();
// Whether a save may be written now: not during a demo's playback (the demo's world would
// replace the game) and not while the hero of single play lies dead. A refusal shows a message
// line; the save on the disk stays as it was.
int Game_SaveAllowed();
