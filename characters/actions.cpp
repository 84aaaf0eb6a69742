#include "characters/actions.h"

#include "foundation/sys.h"

uint32_t Player_CommandWord;
float TimeScale = 1.0f;

namespace {

template <uint32_t Bit>
void SetBit() {
  Player_CommandWord |= Bit;
}

template <uint32_t Bit>
void ClearBit() {
  Player_CommandWord &= ~Bit;
}

template <uint32_t Bit>
constexpr InputCommand Action(const char* name) {
  return InputCommand{name, SetBit<Bit>, ClearBit<Bit>, nullptr};
}

constexpr InputCommand Polled(const char* name) { return InputCommand{name, Sys_NoOp, Sys_NoOp, nullptr}; }

}  // namespace

InputCommand PlayerActionTable[kPlayerActionCount] = {
    Action<CMD_FORWARD>("Forward"),
    Action<CMD_BACK>("Back"),
    Action<CMD_LEFT>("Left"),
    Action<CMD_RIGHT>("Right"),
    Action<CMD_STRAFE_LEFT>("Strafe Left"),
    Action<CMD_STRAFE_RIGHT>("Strafe Right"),
    Action<CMD_JUMP>("Jump"),
    Action<CMD_CROUCH>("Crouch"),
    Action<CMD_FIRE>("Fire"),
    Action<CMD_NEXT_WEAPON>("Next Weapon"),
    Polled("Prev Weapon"),
    Action<CMD_SNIPE>("Snipe"),
    Action<CMD_HOLD_WEAPON>("Hold Weapon"),
    Action<CMD_RELOAD_WEAPON>("Reload Weapon"),
    Action<CMD_USE>("Use"),
    Action<CMD_THIEVERY>("Thievery"),
    Polled("E-Shop"),
    Polled("Inventory"),
    Polled("Stats"),
    Polled("PowerUps"),
    Polled("Quests"),
    Polled("QuickSave"),
    Polled("QuickLoad"),
    Action<CMD_FIRST_AID>("FirstAid"),
    Action<CMD_STEALTH>("Stealth"),
    Action<CMD_GALAHASTE>("Galahaste"),
    Action<CMD_NEXT_SKILL>("Next Skill"),
    Action<CMD_PREV_SKILL>("Prev Skill"),
    Action<CMD_USE_SKILL>("Use Skill"),
    Action<CMD_MAP>("Map"),
    Action<CMD_DECEL>("Decel"),
    Action<CMD_LEAVE_CAR>("Leave Car"),
};
