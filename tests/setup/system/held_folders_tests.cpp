// Work in folders their user can change (held_folders.h) on a model file
// system in which the "user" swaps a folder for a link to someone else's
// between any two steps of the installer: nothing outside is deleted or made.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "setup/system/held_folders.h"

namespace {

struct Node {
  Node* link;  // a junction to this node when set
  bool folder;
  std::map<std::string, Node*> children;
  Node* Child(const std::string& name) {
    auto at = children.find(name);
    return at == children.end() ? nullptr : at->second;
  }
};

struct Model {
  std::deque<Node> nodes;  // a deque keeps their places
  Node* root = Add(nullptr, "", true);
  std::function<void()> swap;  // the user's move, after step `swap_after`
  int steps = 0, swap_after = 0, open = 0;

  Node* Add(Node* parent, const std::string& name, bool folder, Node* link = nullptr) {
    nodes.push_back(Node{link, folder, {}});
    if (parent != nullptr) parent->children[name] = &nodes.back();
    return &nodes.back();
  }
  int Step(int result) {
    if (++steps == swap_after) swap();
    return result;
  }
};

void* Open(void* user, void* parent, const char* name, int create, int) {
  Model* m = static_cast<Model*>(user);
  Node* folder = parent != nullptr ? static_cast<Node*>(parent) : m->root;
  std::string last = name;  // a full path follows the links on its way
  for (size_t cut; folder != nullptr && (cut = last.find('\\')) != std::string::npos;) {
    folder = folder->Child(last.substr(0, cut));
    if (folder != nullptr && folder->link != nullptr) folder = folder->link;
    last.erase(0, cut + 1);
  }
  Node* at = folder != nullptr ? folder->Child(last) : nullptr;
  if (at == nullptr && create && folder != nullptr) at = m->Add(folder, last, true);
  const bool plain = at != nullptr && at->folder && at->link == nullptr;
  m->open += plain;
  return m->Step(plain) ? at : nullptr;
}

int Delete(void* user, void* folder, const char* name) {
  Node* at = static_cast<Node*>(folder)->Child(name);
  const bool file = at != nullptr && !at->folder;
  if (file) static_cast<Node*>(folder)->children.erase(name);
  return static_cast<Model*>(user)->Step(file);
}

int WriteNew(void* user, void* folder, const char* name, const void*, size_t) {
  const bool made = static_cast<Node*>(folder)->Child(name) == nullptr;
  if (made) static_cast<Model*>(user)->Add(static_cast<Node*>(folder), name, false);
  return static_cast<Model*>(user)->Step(made);
}

int RemoveFolder(void*, void*) { return 0; }
void Close(void* user, void*) { --static_cast<Model*>(user)->open; }

// P\Tarnwell Audio\Brindlemoor holds our shortcuts, W\... someone else's of
// the same names; the "user" renames one of our folders and links W's there.
TEST(HeldFolders, ASwapBetweenCheckAndUseTouchesNothingOutside) {
  const char* const kLinks[] = {"Brindlemoor.LNK", "Readme.LNK"};
  const HeldFile kFiles[] = {{"Readme.LNK", "x", 1}, {"New.LNK", "x", 1}};
  for (int depth : {1, 2}) {                   // the folder swapped: Tarnwell Audio, Brindlemoor
    for (int after = 0; after < 8; ++after) {  // the step it is swapped after
      for (bool removing : {true, false}) {
        Model m;
        Node* p = m.Add(m.root, "P", true);
        Node* p_audio = m.Add(p, "Tarnwell Audio", true);
        Node* w_audio = m.Add(m.Add(m.root, "W", true), "Tarnwell Audio", true);
        Node* outside = m.Add(w_audio, "Brindlemoor", true);
        for (Node* folder : {m.Add(p_audio, "Brindlemoor", true), outside}) {
          for (const char* link : kLinks) m.Add(folder, link, false);
        }
        Node* parent = depth == 1 ? p : p_audio;
        const std::string name = depth == 1 ? "Tarnwell Audio" : "Brindlemoor";
        m.swap = [&] {
          parent->children[name + ".old"] = parent->children[name];
          parent->children[name] = m.Add(nullptr, "", true, depth == 1 ? w_audio : outside);
        };
        m.swap_after = after;
        if (after == 0) m.swap();
        const HeldFolderOps ops = {&m, Open, Delete, WriteNew, RemoveFolder, Close};
        const int result =
            removing ? RemoveHeldFiles("P", "Tarnwell Audio\\Brindlemoor", kLinks, 2, 1, &ops)
                     : PlaceHeldFiles("P", "Tarnwell Audio\\Brindlemoor", kFiles, 2, &ops);
        EXPECT_EQ(outside->children.size(), 2u) << depth << " swapped after step " << after;
        EXPECT_EQ(outside->Child("New.LNK"), nullptr);
        EXPECT_EQ(result, after <= depth ? -1 : 2) << depth << " swapped after step " << after;
        EXPECT_EQ(m.open, 0);
      }
    }
  }
}

}  // namespace
