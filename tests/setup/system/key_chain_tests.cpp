// The current user's key walk (key_chain.h) on a model registry whose user
// turns any key of theirs into a link to a machine key, beforehand or
// between any two steps of the walk, the failed open and the create
// included: the walk ends at the link, and nothing is made or changed below
// the machine key.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "setup/system/key_chain.h"

namespace {

struct Key {
  std::string name;
  Key* link = nullptr;  // a registry link to this key when set
  std::map<std::string, Key*> children;
};

struct Registry {
  std::deque<Key> keys;  // a deque keeps their places
  Key* user = Add(nullptr, "HKCU");
  Key* machine = Add(nullptr, "HKLM");
  std::function<void()> plant;  // the user's move, before step `plant_at`
  int steps = 0, plant_at = 0, open = 0;

  Key* Add(Key* parent, const std::string& name) {
    keys.push_back(Key{name, nullptr, {}});
    if (parent != nullptr) parent->children[name] = &keys.back();
    return &keys.back();
  }
  void Step() {
    if (++steps == plant_at && plant) plant();
  }
};

Registry* Of(void* user) { return static_cast<Registry*>(user); }

void* Open(void* user, void* parent, const char* name, int, int* missing) {
  Registry* r = Of(user);
  r->Step();
  Key* folder = static_cast<Key*>(parent);
  auto at = folder->children.find(name);
  *missing = at == folder->children.end();
  if (*missing) return nullptr;
  ++r->open;
  return at->second;  // as itself: a link is not followed
}

void* Create(void* user, void* parent, const char* name, int) {
  Registry* r = Of(user);
  r->Step();
  Key* folder = static_cast<Key*>(parent);
  auto at = folder->children.find(name);
  ++r->open;
  return at != folder->children.end() ? at->second : r->Add(folder, name);
}

int IsLink(void*, void* key) { return static_cast<Key*>(key)->link != nullptr ? 1 : 0; }

void Close(void* user, void*) { --Of(user)->open; }

KeyChainOps OpsOf(Registry* r) { return {r, Open, Create, IsLink, Close}; }

TEST(KeyChain, MakesTheMissingKeysAndOpensTheLast) {
  Registry r;
  const KeyChainOps ops = OpsOf(&r);
  EXPECT_EQ(OpenKeyChain(r.user, "Tarnwell\\BrindleMoor", 0, &ops), nullptr);
  EXPECT_TRUE(r.user->children.empty());
  void* key = OpenKeyChain(r.user, "Tarnwell\\BrindleMoor", 1, &ops);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(static_cast<Key*>(key), r.user->children["Tarnwell"]->children["BrindleMoor"]);
  EXPECT_EQ(r.open, 1);
  ops.close(&r, key);
  EXPECT_EQ(OpenKeyChain(r.user, "", 1, &ops), nullptr);
  EXPECT_EQ(OpenKeyChain(r.user, "Tarnwell\\\\x", 1, &ops), nullptr);  // an empty name
  EXPECT_EQ(r.open, 0);
}

// A link at either name, there from the start or made at any step of the
// walk (a name that was missing taken by a link after the failed open, or
// an existing key swapped for one): the walk ends, and the machine's key
// gets nothing.
TEST(KeyChain, ALinkAtAnyStepEndsTheWalk) {
  for (int depth : {0, 1}) {
    for (bool existing : {false, true}) {
      for (int step = 1; step <= 4; ++step) {
        Registry r;
        Key* target = r.Add(r.machine, "Run");
        if (existing) r.Add(r.Add(r.user, "Tarnwell"), "BrindleMoor");
        r.plant = [&] {
          auto made = r.user->children.find("Tarnwell");
          if (depth == 1 && made == r.user->children.end()) return;  // not made yet
          Key* parent = depth == 0 ? r.user : made->second;
          const std::string name = depth == 0 ? "Tarnwell" : "BrindleMoor";
          parent->children.erase(name);
          r.Add(parent, name)->link = target;
        };
        r.plant_at = step;
        const KeyChainOps ops = OpsOf(&r);
        void* key = OpenKeyChain(r.user, "Tarnwell\\BrindleMoor", 1, &ops);
        const bool planted = r.steps >= step && (depth == 0 || r.user->children.count("Tarnwell"));
        if (key != nullptr) {
          // Only a link planted after the walk had passed its name.
          EXPECT_FALSE(IsLink(&r, key));
          ops.close(&r, key);
        } else {
          EXPECT_TRUE(planted) << depth << existing << step;
        }
        EXPECT_TRUE(target->children.empty()) << depth << existing << step;
        EXPECT_EQ(r.open, 0) << depth << existing << step;
      }
    }
  }
}

}  // namespace
