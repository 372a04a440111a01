// Work in folders their user can change (held_folders.h), made of the NT
// calls the installer passes (held_folder_calls.cpp), on a model file system
// that behaves as Windows does: an open goes on through a link at its name
// unless it asks not to (and a create then makes the link's target), a full
// path follows every link on its way but the last, deleting a link removes
// the link, a folder with anything in it is not removed. The "user" swaps a
// folder for a link to someone else's between any two steps of the
// installer, or leaves links at the names it will use: nothing outside is
// deleted or made. Each folder has an owner and an access list; the product
// folder is held only when they keep everyone but the administrators out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/system/held_folders.h"

namespace {

struct Node {
  bool folder;
  Node* parent;
  std::string name;
  Node* link_folder;  // a junction to the name `link_name` in `link_folder` when set
  std::string link_name;
  std::map<std::string, Node*> children;
  std::string bytes;
  FolderSecurity security = ProtectedFolderSecurity();
  Node* Child(const std::string& child) {
    auto at = children.find(child);
    return at == children.end() ? nullptr : at->second;
  }
};

struct Handle {
  Node* node;
  bool delete_on_close;
};

struct Model {
  std::deque<Node> nodes;  // a deque keeps their places
  std::deque<Handle> handles;
  Node* root = Add(nullptr, "", true);
  std::function<void()> swap;  // the user's move, after step `swap_after`
  int steps = 0, swap_after = 0, open = 0, made_protected = 0;

  Node* Add(Node* parent, const std::string& name, bool folder) {
    nodes.push_back(Node{folder, parent, name, nullptr, "", {}, ""});
    if (parent != nullptr) parent->children[name] = &nodes.back();
    return &nodes.back();
  }
  Node* Link(Node* parent, const std::string& name, Node* target_folder,
             const std::string& target) {
    Node* link = Add(parent, name, true);
    link->link_folder = target_folder;
    link->link_name = target;
    return link;
  }
  std::string PathOf(const Node* node) const {
    return node->parent == nullptr || node->parent == root
               ? node->name
               : PathOf(node->parent) + "\\" + node->name;
  }
};

Model* ModelOf(void* user) { return static_cast<Model*>(user); }
Node* NodeOf(void* handle) { return static_cast<Handle*>(handle)->node; }

void* Create(void* user, void* parent, const char* name, uint32_t access, uint32_t,
             uint32_t disposition, uint32_t options) {
  Model* m = ModelOf(user);
  if (m->steps > 0 && m->steps == m->swap_after) m->swap();  // after the call before
  ++m->steps;
  Node* folder = parent != nullptr ? NodeOf(parent) : m->root;
  std::string last = name;
  for (size_t cut; folder != nullptr && (cut = last.find('\\')) != std::string::npos;) {
    folder = folder->Child(last.substr(0, cut));
    if (folder != nullptr && folder->link_folder != nullptr) {
      folder = folder->link_folder->Child(folder->link_name);
    }
    last.erase(0, cut + 1);
  }
  if (folder == nullptr || !folder->folder) return nullptr;
  Node* at = folder->Child(last);
  if (at != nullptr && at->link_folder != nullptr && !(options & kNtOpenReparsePoint)) {
    folder = at->link_folder;  // on to the link's target, which a create makes
    last = at->link_name;
    at = folder->Child(last);
  }
  if (at == nullptr) {
    if (disposition == kNtOpen) return nullptr;
    at = m->Add(folder, last, (options & kNtDirectoryFile) != 0);
  } else if (disposition == kNtCreate) {
    return nullptr;
  } else if (disposition == kNtOverwriteIf) {
    if (at->folder) return nullptr;
    at->bytes.clear();
  }
  if ((options & kNtNonDirectoryFile) && at->folder) return nullptr;  // a junction is a folder
  if ((options & kNtDirectoryFile) && !at->folder) return nullptr;
  (void)access;
  ++m->open;
  m->handles.push_back(Handle{at, false});
  return &m->handles.back();
}

uint32_t Attributes(void*, void* handle) {
  const Node* node = NodeOf(handle);
  if (node->link_folder != nullptr) return kNtAttributeDirectory | kNtAttributeReparsePoint;
  return node->folder ? kNtAttributeDirectory : 0x80;
}

int FinalPath(void* user, void* handle, char* out, size_t size) {
  const std::string path = ModelOf(user)->PathOf(NodeOf(handle));
  if (path.size() >= size) return 0;
  std::snprintf(out, size, "%s", path.c_str());
  return 1;
}

int64_t Read(void*, void* handle, uint64_t offset, void* bytes, size_t size) {
  const std::string& content = NodeOf(handle)->bytes;
  if (offset >= content.size()) return 0;
  const size_t count = std::min(size, static_cast<size_t>(content.size() - offset));
  content.copy(static_cast<char*>(bytes), count, static_cast<size_t>(offset));
  return static_cast<int64_t>(count);
}

int Write(void*, void* handle, const void* bytes, size_t size) {
  NodeOf(handle)->bytes.append(static_cast<const char*>(bytes), size);
  return 1;
}

int DeleteOnClose(void*, void* handle) {
  const Node* node = NodeOf(handle);
  if (node->folder && node->link_folder == nullptr && !node->children.empty()) return 0;
  static_cast<Handle*>(handle)->delete_on_close = true;
  return 1;
}

void Close(void* user, void* handle) {
  Handle* h = static_cast<Handle*>(handle);
  if (h->delete_on_close && h->node->parent != nullptr)
    h->node->parent->children.erase(h->node->name);
  --ModelOf(user)->open;
}

int ReadSecurity(void*, void* handle, FolderSecurity* security) {
  *security = NodeOf(handle)->security;
  return 1;
}

void* CreateProtectedFolder(void* user, void* parent, const char* name, uint32_t access,
                            uint32_t share) {
  void* folder =
      Create(user, parent, name, access, share, kNtCreate, kNtDirectoryFile | kNtOpenReparsePoint);
  if (folder != nullptr) {
    NodeOf(folder)->security = ProtectedFolderSecurity();
    ++ModelOf(user)->made_protected;
  }
  return folder;
}

// What the folder holds when the listing starts, each item given if it is
// still there when its turn comes (as a listing read ahead would).
int List(void*, void* folder, void (*each)(void*, const char*, uint32_t), void* context) {
  Node* node = NodeOf(folder);
  std::vector<std::string> names;
  for (const auto& child : node->children) names.push_back(child.first);
  for (const std::string& name : names) {
    Node* child = node->Child(name);
    if (child == nullptr) continue;
    Handle as_handle{child, false};
    each(context, name.c_str(), Attributes(nullptr, &as_handle));
  }
  return 1;
}

NtFileCalls CallsOf(Model* m) {
  return {m,     Create,        Attributes, FinalPath,    Read,
          Write, DeleteOnClose, Close,      ReadSecurity, CreateProtectedFolder,
          List};
}

// P\Tarnwell Audio\Brindlemoor holds our shortcuts, W\... someone else's of
// the same names; the "user" renames one of our folders and links W's there.
TEST(HeldFolders, ASwapBetweenCheckAndUseTouchesNothingOutside) {
  const char* const kLinks[] = {"Brindlemoor.LNK", "Readme.LNK"};
  const HeldFile kFiles[] = {{"Readme.LNK", "x", 1}, {"New.LNK", "x", 1}};
  for (int depth : {1, 2}) {                    // the folder swapped: Tarnwell Audio, Brindlemoor
    for (int after = 0; after < 10; ++after) {  // the step it is swapped after
      for (bool removing : {true, false}) {
        Model m;
        Node* p = m.Add(m.root, "P", true);
        Node* p_audio = m.Add(p, "Tarnwell Audio", true);
        Node* w = m.Add(m.root, "W", true);
        Node* w_audio = m.Add(w, "Tarnwell Audio", true);
        Node* outside = m.Add(w_audio, "Brindlemoor", true);
        for (Node* folder : {m.Add(p_audio, "Brindlemoor", true), outside}) {
          for (const char* link : kLinks) m.Add(folder, link, false);
        }
        Node* parent = depth == 1 ? p : p_audio;
        const std::string name = depth == 1 ? "Tarnwell Audio" : "Brindlemoor";
        m.swap = [&] {
          Node* moved = parent->Child(name);
          if (moved == nullptr) return;  // removed already: nothing left to swap
          moved->name = name + ".old";
          parent->children[name + ".old"] = moved;
          parent->children.erase(name);
          m.Link(parent, name, depth == 1 ? w : w_audio, name);
        };
        m.swap_after = after;
        if (after == 0) m.swap();
        const NtFileCalls calls = CallsOf(&m);
        const HeldFolderOps ops = HeldFolderOpsOver(&calls);
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

// Links left in advance: at a shortcut's own name (to a place outside), and
// higher up the first folder's path, where a full-path open follows them.
TEST(HeldFolders, LinksAtTheNamesAndOnThePathLeadNowhere) {
  const HeldFile kFiles[] = {{"Readme.LNK", "link", 4}};
  {
    Model m;
    Node* ours = m.Add(m.Add(m.root, "P", true), "Start", true);
    Node* outside = m.Add(m.root, "Windows", true);
    m.Link(ours, "Readme.LNK", outside, "evil.dll");  // nothing there yet
    const NtFileCalls calls = CallsOf(&m);
    const HeldFolderOps ops = HeldFolderOpsOver(&calls);
    EXPECT_EQ(PlaceHeldFiles("P", "Start", kFiles, 1, &ops), 1);
    EXPECT_TRUE(outside->children.empty());  // the link was removed, not gone through
    ASSERT_NE(ours->Child("Readme.LNK"), nullptr);
    EXPECT_EQ(ours->Child("Readme.LNK")->link_folder, nullptr);
    EXPECT_EQ(ours->Child("Readme.LNK")->bytes, "link");
    // A real folder at a name to delete stays, with what is in it.
    m.Add(m.Add(ours, "Notes.LNK", true), "mine.txt", false);
    const char* const kNames[] = {"Notes.LNK"};
    EXPECT_EQ(RemoveHeldFiles("P", "Start", kNames, 1, 0, &ops), 0);
    EXPECT_NE(ours->Child("Notes.LNK"), nullptr);
    EXPECT_EQ(m.open, 0);
  }
  {
    Model m;
    Node* elsewhere = m.Add(m.root, "Elsewhere", true);
    m.Add(elsewhere, "Programs", true);
    m.Link(m.Add(m.root, "Profile", true), "Start Menu", m.root, "Elsewhere");
    const NtFileCalls calls = CallsOf(&m);
    const HeldFolderOps ops = HeldFolderOpsOver(&calls);
    EXPECT_EQ(PlaceHeldFiles("Profile\\Start Menu\\Programs", "Tarnwell Audio", kFiles, 1, &ops),
              -1);
    EXPECT_TRUE(elsewhere->Child("Programs")->children.empty());
    EXPECT_EQ(m.open, 0);
  }
}

// The last folder goes only when nothing is left in it, and so do the ones
// above it that this empties; the copy of an open
// file is what the file held when it was opened, whatever now has its name.
TEST(HeldFolders, AFolderGoesOnlyEmptyAndACopyComesFromItsHandle) {
  Model m;
  Node* ours = m.Add(m.Add(m.root, "P", true), "Start", true);
  m.Add(ours, "Readme.LNK", false);
  m.Add(ours, "mine.txt", false);
  const NtFileCalls calls = CallsOf(&m);
  const HeldFolderOps ops = HeldFolderOpsOver(&calls);
  const char* const kNames[] = {"Readme.LNK"};
  EXPECT_EQ(RemoveHeldFiles("P", "Start", kNames, 1, 1, &ops), 1);
  ASSERT_NE(m.root->Child("P")->Child("Start"), nullptr);  // the user's file keeps it
  ours->children.clear();
  EXPECT_EQ(RemoveHeldFiles("P", "Start", kNames, 1, 1, &ops), 0);
  EXPECT_EQ(m.root->Child("P")->Child("Start"), nullptr);
  // The folders above it go too while each is left empty, never the known
  // folder, never one that holds anything else.
  Node* audio = m.Add(m.root->Child("P"), "Tarnwell Audio", true);
  m.Add(m.Add(audio, "Brindlemoor", true), "Readme.LNK", false);
  m.Add(audio, "Other product", true);
  EXPECT_EQ(RemoveHeldFiles("P", "Tarnwell Audio\\Brindlemoor", kNames, 1, 1, &ops), 1);
  EXPECT_EQ(audio->Child("Brindlemoor"), nullptr);
  ASSERT_NE(m.root->Child("P")->Child("Tarnwell Audio"), nullptr);
  audio->children.clear();
  m.Add(m.Add(audio, "Brindlemoor", true), "Readme.LNK", false);
  EXPECT_EQ(RemoveHeldFiles("P", "Tarnwell Audio\\Brindlemoor", kNames, 1, 1, &ops), 1);
  EXPECT_EQ(m.root->Child("P")->Child("Tarnwell Audio"), nullptr);
  EXPECT_NE(m.root->Child("P"), nullptr);

  Node* downloads = m.Add(m.root, "Downloads", true);
  Node* setup = m.Add(downloads, "setup.exe", false);
  setup->bytes = std::string(100000, 'i');
  m.Add(m.root, "Product", true);
  void* image = calls.create(&m, nullptr, "Downloads\\setup.exe", kNtReadData, kNtShareRead,
                             kNtOpen, kNtNonDirectoryFile);
  ASSERT_NE(image, nullptr);
  setup->name = "setup.old";
  downloads->children["setup.old"] = setup;
  m.Add(downloads, "setup.exe", false)->bytes = "not the installer";
  EXPECT_EQ(CopyOpenFile(&calls, image, "Product\\uninstall.exe"), 1);
  EXPECT_EQ(m.root->Child("Product")->Child("uninstall.exe")->bytes, std::string(100000, 'i'));
  calls.close(&m, image);
  EXPECT_EQ(m.open, 0);
}

// The product folder P\QX\Brindlemoor: with its owner or access list letting
// anyone but the administrators change it (either folder), it is not held;
// entries that deny, or that only let others read, do not matter.
TEST(HeldFolders, TheProductFolderMustBeTheAdministratorsAlone) {
  constexpr uint32_t kWrite = 0x00000002, kRead = 0x001200A9, kGenericWrite = 0x40000000;
  struct Case {
    const char* what;
    FolderSecurity security;
    int held;
  };
  FolderSecurity users_may_write = ProtectedFolderSecurity();
  users_may_write.entries[2].rights |= kWrite;
  FolderSecurity user_owns = ProtectedFolderSecurity();
  user_owns.owner = kIdentityOther;
  FolderSecurity no_list = ProtectedFolderSecurity();
  no_list.has_list = 0;
  FolderSecurity denied = ProtectedFolderSecurity();
  denied.entries[denied.entry_count++] = {kEntryDeny, kIdentityOther, kGenericWrite};
  FolderSecurity creator = ProtectedFolderSecurity();
  creator.entries[creator.entry_count++] = {kEntryAllow, kIdentityCreatorOwner, 0x001F01FF};
  FolderSecurity object_entry = ProtectedFolderSecurity();
  object_entry.entries[object_entry.entry_count++] = {kEntryOther, kIdentityAdministrators,
                                                      kGenericWrite};
  FolderSecurity other_reads = ProtectedFolderSecurity();
  other_reads.entries[other_reads.entry_count++] = {kEntryOther, kIdentityOther, kRead};
  FolderSecurity too_long = ProtectedFolderSecurity();
  too_long.truncated = 1;
  const Case kCases[] = {
      {"protected", ProtectedFolderSecurity(), 1},
      {"users may write", users_may_write, 0},
      {"owned by a user", user_owns, 0},
      {"no access list", no_list, 0},
      {"a denying entry", denied, 1},
      {"CREATOR OWNER", creator, 1},
      {"an object entry that writes", object_entry, 0},
      {"an object entry that reads", other_reads, 1},
      {"more entries than can be read", too_long, 0},
  };
  for (const Case& c : kCases) {
    for (int changed : {0, 1}) {  // QX, Brindlemoor
      Model m;
      Node* qx = m.Add(m.Add(m.root, "P", true), "QX", true);
      Node* product = m.Add(qx, "Brindlemoor", true);
      (changed == 0 ? qx : product)->security = c.security;
      const NtFileCalls calls = CallsOf(&m);
      const HeldFolderOps ops = HeldFolderOpsOver(&calls);
      HeldFolder held;
      const int result = HoldAdministratorsFolder("P", "QX\\Brindlemoor", 1, &ops, &held);
      EXPECT_EQ(result, c.held ? kFolderHeld : kFolderForeign) << c.what << " " << changed;
      EXPECT_EQ(held.count, c.held ? 3 : 0) << c.what;
      EXPECT_EQ(m.open, held.count);
      ReleaseHeldFolder(&held, &ops);
      EXPECT_EQ(m.open, 0);
      EXPECT_EQ(m.made_protected, 0);
    }
  }
}

// Missing folders are made with the protected list from the start; a link or
// a file at a folder's name, or a missing folder that may not be made, holds
// nothing and makes nothing elsewhere.
TEST(HeldFolders, MissingProductFoldersAreMadeProtectedAndLinksRefused) {
  {
    Model m;
    Node* p = m.Add(m.root, "P", true);
    const NtFileCalls calls = CallsOf(&m);
    const HeldFolderOps ops = HeldFolderOpsOver(&calls);
    HeldFolder held;
    EXPECT_EQ(HoldAdministratorsFolder("P", "QX\\Brindlemoor", 0, &ops, &held), kFolderUnreachable);
    EXPECT_TRUE(p->children.empty());
    ASSERT_EQ(HoldAdministratorsFolder("P", "QX\\Brindlemoor", 1, &ops, &held), kFolderHeld);
    EXPECT_EQ(m.made_protected, 2);
    ASSERT_NE(p->Child("QX"), nullptr);
    ASSERT_NE(p->Child("QX")->Child("Brindlemoor"), nullptr);
    EXPECT_EQ(std::string(held.last_name), "Brindlemoor");
    ReleaseHeldFolder(&held, &ops);
    EXPECT_EQ(m.open, 0);
  }
  for (bool link_at_qx : {true, false}) {
    Model m;
    Node* p = m.Add(m.root, "P", true);
    Node* outside = m.Add(m.Add(m.root, "U", true), "QX", true);
    if (link_at_qx) {
      m.Link(p, "QX", m.root->Child("U"), "QX");
    } else {
      m.Add(p, "QX", false);  // a file
    }
    const NtFileCalls calls = CallsOf(&m);
    const HeldFolderOps ops = HeldFolderOpsOver(&calls);
    HeldFolder held;
    EXPECT_EQ(HoldAdministratorsFolder("P", "QX\\Brindlemoor", 1, &ops, &held), kFolderUnreachable);
    EXPECT_TRUE(outside->children.empty());
    EXPECT_EQ(m.open, 0);
  }
}

// The removal walks the product folder through held folders: everything in
// it goes, a link in it goes as a link, and a sub-folder that its owner
// swaps for a link to another folder at any step leads nowhere.
TEST(HeldFolders, TheProductFolderIsRemovedThroughHeldFolders) {
  for (int after = 0; after < 40; ++after) {
    Model m;
    Node* qx = m.Add(m.Add(m.root, "P", true), "QX", true);
    Node* product = m.Add(qx, "Brindlemoor", true);
    m.Add(product, "brindlemoor.exe", false);
    Node* drivers = m.Add(product, "drivers", true);
    m.Add(drivers, "kx.sys", false);
    m.Add(m.Add(drivers, "inf", true), "kx.inf", false);
    Node* outside = m.Add(m.root, "Windows", true);
    m.Add(outside, "kx.sys", false);
    m.Add(m.Add(outside, "inf", true), "kx.inf", false);
    m.Link(product, "old link", m.root, "Windows");
    m.swap = [&] {
      if (product->Child("drivers") != drivers) return;  // removed already
      drivers->name = "drivers.old";
      product->children["drivers.old"] = drivers;
      product->children.erase("drivers");
      m.Link(product, "drivers", m.root, "Windows");
    };
    m.swap_after = after == 0 ? -1 : after;
    const NtFileCalls calls = CallsOf(&m);
    const HeldFolderOps ops = HeldFolderOpsOver(&calls);
    HeldFolder held;
    ASSERT_EQ(HoldAdministratorsFolder("P", "QX\\Brindlemoor", 0, &ops, &held), kFolderHeld);
    const int removed = RemoveHeldFolderTree(&held, &ops, "P\\QX\\Brindlemoor", nullptr);
    EXPECT_EQ(held.count, 2);
    ReleaseHeldFolder(&held, &ops);
    EXPECT_EQ(outside->children.size(), 2u) << "swapped after step " << after;
    EXPECT_NE(outside->Child("inf")->Child("kx.inf"), nullptr) << "swapped after step " << after;
    if (after == 0 || m.steps <= after) {
      EXPECT_EQ(removed, 1) << after;
      EXPECT_EQ(qx->Child("Brindlemoor"), nullptr) << after;
    }
    EXPECT_EQ(m.open, 0);
  }
}

}  // namespace
