// Work in folders their user can change (held_folders.h), on a model file
// system whose folders the "user" swaps for links between any two steps of
// the installer: what was checked is what is worked on, and nothing outside
// is deleted or written, whatever the swap.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "setup/held_folders.h"

namespace {

struct Node {
  bool folder = false;
  Node* link = nullptr;  // a junction: a folder entry that leads to `link`
  Node* parent = nullptr;
  std::map<std::string, Node*> children;
};

struct ModelTree {
  std::vector<std::unique_ptr<Node>> nodes;
  Node* root = Add(nullptr, "", true);
  std::function<void(int step)> between;  // the user's move after each step
  int steps = 0;
  int open = 0;

  Node* Add(Node* parent, const std::string& name, bool folder, Node* link = nullptr) {
    nodes.emplace_back(new Node{folder, link, parent, {}});
    if (parent != nullptr) parent->children[name] = nodes.back().get();
    return nodes.back().get();
  }
  // Follows links on the way, as a path does; not at the end.
  Node* Find(const std::string& path, bool follow_last = false) {
    Node* at = root;
    for (size_t start = 0; at != nullptr && start <= path.size();) {
      const size_t end = std::min(path.find('\\', start), path.size());
      if (at->link != nullptr) at = at->link;
      auto child = at->children.find(path.substr(start, end - start));
      at = child == at->children.end() ? nullptr : child->second;
      start = end + 1;
    }
    return at != nullptr && follow_last && at->link != nullptr ? at->link : at;
  }
  // The user renames `path` aside and puts a link to `target` in its place.
  void SwapForLink(const std::string& path, const std::string& target) {
    Node* node = Find(path);
    const std::string name = path.substr(path.rfind('\\') + 1);
    node->parent->children.erase(name);
    node->parent->children[name + ".old"] = node;
    Add(node->parent, name, true, Find(target));
  }
  void Step() {
    if (between) between(++steps);
  }
};

void* ModelOpen(void* user, void* parent, const char* name, int create, int) {
  ModelTree* tree = static_cast<ModelTree*>(user);
  Node* at = parent == nullptr ? tree->Find(name) : nullptr;
  if (parent != nullptr) {
    Node* folder = static_cast<Node*>(parent);
    auto child = folder->children.find(name);
    at = child != folder->children.end() ? child->second
         : create                        ? tree->Add(folder, name, true)
                                         : nullptr;
  }
  tree->Step();
  if (at == nullptr || !at->folder || at->link != nullptr) return nullptr;
  ++tree->open;
  return at;
}

int ModelDelete(void* user, void* folder, const char* name) {
  Node* at = static_cast<Node*>(folder);
  auto child = at->children.find(name);
  const bool file = child != at->children.end() && !child->second->folder;
  if (file) at->children.erase(child);
  static_cast<ModelTree*>(user)->Step();
  return file;
}

int ModelWriteNew(void* user, void* folder, const char* name, const void*, size_t) {
  Node* at = static_cast<Node*>(folder);
  const bool made = !at->children.count(name);
  if (made) static_cast<ModelTree*>(user)->Add(at, name, false);
  static_cast<ModelTree*>(user)->Step();
  return made;
}

int ModelRemoveFolder(void*, void* folder) {
  Node* at = static_cast<Node*>(folder);
  for (auto& entry : at->parent->children) {
    if (entry.second == at && at->children.empty()) return at->parent->children.erase(entry.first);
  }
  return 0;
}

void ModelClose(void* user, void*) { --static_cast<ModelTree*>(user)->open; }

const char kSub[] = "Tarnwell Audio\\Brindlemoor";
const char* const kLinks[] = {"Brindlemoor.LNK", "Readme.LNK"};

// C:\P (the known folder) with P\Tarnwell Audio\Brindlemoor holding our two
// shortcuts, and W\Tarnwell Audio\Brindlemoor holding files of the same
// names and others that belong to someone else.
struct Fixture {
  ModelTree tree;
  HeldFolderOps ops = {&tree, ModelOpen, ModelDelete, ModelWriteNew, ModelRemoveFolder, ModelClose};
  Fixture() {
    for (const char* top : {"P", "W"}) {
      Node* folder = tree.Add(tree.Add(tree.Add(tree.root, top, true), "Tarnwell Audio", true),
                              "Brindlemoor", true);
      for (const char* link : kLinks) tree.Add(folder, link, false);
    }
    tree.Add(tree.Find("W\\Tarnwell Audio\\Brindlemoor"), "system.dll", false);
  }
  // The names in someone else's folder.
  std::string Outside() {
    std::string names;
    for (const auto& entry : tree.Find("W\\Tarnwell Audio\\Brindlemoor")->children) {
      names += entry.first + " ";
    }
    return names;
  }
};

TEST(HeldFolders, ASwapBetweenCheckAndUseTouchesNothingOutside) {
  const struct {
    const char* folder;
    const char* target;
    int opened_at;  // the step that opens the folder
  } kSwaps[] = {{"P\\Tarnwell Audio", "W\\Tarnwell Audio", 2},
                {"P\\Tarnwell Audio\\Brindlemoor", "W\\Tarnwell Audio\\Brindlemoor", 3}};
  const std::string untouched = "Brindlemoor.LNK Readme.LNK system.dll ";
  for (const auto& swap : kSwaps) {
    for (int after = 0; after < 8; ++after) {  // 0: before the first step
      Fixture removal, placing;
      for (Fixture* f : {&removal, &placing}) {
        if (after == 0) f->tree.SwapForLink(swap.folder, swap.target);
        f->tree.between = [f, after, &swap](int step) {
          if (step == after) f->tree.SwapForLink(swap.folder, swap.target);
        };
      }
      EXPECT_EQ(RemoveHeldFiles("P", kSub, kLinks, 2, 1, &removal.ops),
                after < swap.opened_at ? -1 : 2)
          << swap.folder << " swapped after step " << after;
      const HeldFile files[] = {{"Readme.LNK", "x", 1}, {"New.LNK", "x", 1}};
      PlaceHeldFiles("P", kSub, files, 2, &placing.ops);
      for (Fixture* f : {&removal, &placing}) {
        EXPECT_EQ(f->Outside(), untouched) << swap.folder << " swapped after step " << after;
        EXPECT_EQ(f->tree.open, 0);
      }
    }
  }
}

TEST(HeldFolders, OnlyWhatTheInstallMadeGoes) {
  Fixture f;
  Node* ours = f.tree.Find("P\\Tarnwell Audio\\Brindlemoor");
  f.tree.Add(ours, "notes.txt", false);  // the user's
  EXPECT_EQ(RemoveHeldFiles("P", kSub, kLinks, 2, 1, &f.ops), 2);
  EXPECT_EQ(ours->children.size(), 1u);
  EXPECT_NE(f.tree.Find("P\\Tarnwell Audio\\Brindlemoor"), nullptr);  // not empty: stays
  ours->children.clear();
  EXPECT_EQ(RemoveHeldFiles("P", kSub, kLinks, 2, 1, &f.ops), 0);
  EXPECT_EQ(f.tree.Find("P\\Tarnwell Audio\\Brindlemoor"), nullptr);
  EXPECT_NE(f.tree.Find("P\\Tarnwell Audio"), nullptr);  // the parent is left
  // A file where a folder should be: nothing is made.
  f.tree.Add(f.tree.Find("P\\Tarnwell Audio"), "Brindlemoor", false);
  const HeldFile file = {"Readme.LNK", "x", 1};
  EXPECT_EQ(PlaceHeldFiles("P", kSub, &file, 1, &f.ops), -1);
  EXPECT_EQ(f.tree.open, 0);
}

}  // namespace
