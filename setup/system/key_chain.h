// The walk that opens a key of the current user's registry a name at a
// time, without its platform.
//
// The current user's keys belong to that user, who may make any of them a
// registry link to a key of the machine's, even between two steps of the
// elevated installer. So each name is opened below the key before it as
// itself (a link is opened as the link, never followed), and a key that is
// a link ends the walk. A missing name is made, again as itself: when a link
// takes the name between the failed open and the create, the create meets
// the link, and the key it gives back is looked at before it is used. The
// Windows layer (registry_values.cpp) passes the registry calls with
// REG_OPTION_OPEN_LINK; the host tests pass a model registry whose user
// plants links between any two steps.
#pragma once

struct KeyChainOps {
  void* user;
  // Opens `name` below `parent` as itself, `last` telling whether it is the
  // key asked for: the key, or null with *missing set when no key has the
  // name (0 for any other failure).
  void* (*open)(void* user, void* parent, const char* name, int last, int* missing);
  // Makes `name` below `parent`, or opens what has the name by now, as
  // itself: the key, or null.
  void* (*create)(void* user, void* parent, const char* name, int last);
  // 1 when `key` (opened as itself) is a registry link.
  int (*is_link)(void* user, void* key);
  void (*close)(void* user, void* key);
};

// Opens root\sub_key (names separated by '\'; each shorter than 256
// characters) through `ops`, making the missing names with `create`: the
// innermost key, or null with nothing left open when a name is missing (and
// not made), a key on the way is a link, or a call fails. `root` itself is
// never closed.
void* OpenKeyChain(void* root, const char* sub_key, int create, const KeyChainOps* ops);
