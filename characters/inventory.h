// What a person carries: 256 inventory pairs, two equipped pairs, ammunition reserves and
// magazines by kind, money, and the 80-entry stash.
#pragma once
#include <cstdint>

struct PersonStats;

// Adds one pair to the first empty place; returns the place, or -1 (logged) when the kind or
// index is out of range or all 256 places are taken.
int Inv_AddItem(PersonStats* person, int kind, int index);
// The place of that weapon among the carried pairs, or -1.
int Inv_FindWeapon(const PersonStats* person, int weapon);
// The definition name of a pair ("" for an empty place or a row out of its table).
const char* Inv_PairName(int kind, int index);
// The definition's "text" (its shown name is the text "items\\<text>"); "" as above or when it has none.
const char* Inv_PairText(int kind, int index);
// 1 when the person carries (or has equipped) the pair.
int Inv_HasItem(const PersonStats* person, int kind, int index);
// Stores the pair in the first free stash entry; a full stash keeps nothing. Returns the entry
// or -1.
int Inv_AddToStash(PersonStats* person, int kind, int index);
// Reads bracketed pairs into the inventory: [weapon] [name] (with a magazine of its
// ammunition), [armor], [item], [tatu], [trans] [name], [money] [amount], [ammo] [kind]
// [amount], [medic] [amount] (health up to the maximum). Unknown names and kinds are logged and
// skipped. Returns the number of pairs applied.
int Inv_AddFromText(PersonStats* person, const char* text);
