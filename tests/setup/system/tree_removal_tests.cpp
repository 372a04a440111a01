// The walks of RemoveFolderTree and DeleteKeyTree on model trees, on the host
// (and under Wine): every item goes when it can, items that refuse to go are
// stepped over and the walks end, and the calls come in the order the
// installer makes them. A step budget in the models turns a walk that would
// run for ever into a failed test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "setup/system/tree_removal.h"

namespace {

// A file system of paths ("R\a\b"); folders are the paths in `folders`.
// Listings come in name order, "." and ".." first, as NTFS gives them.
struct ModelDisk {
  std::set<std::string> files;
  std::set<std::string> folders;
  std::set<std::string> links;     // folders that are links
  std::set<std::string> stubborn;  // files and folders that refuse to go
  std::vector<std::string> calls;  // "del <path>", "rmdir <path>", "list <pattern>"
  int budget = 10000;
};

struct Listing {
  std::vector<FolderItem> items;
  size_t next;
};

std::string Parent(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

void* ListFirst(void* user, const char* pattern, FolderItem* item) {
  ModelDisk* disk = static_cast<ModelDisk*>(user);
  disk->calls.push_back(std::string("list ") + pattern);
  if (--disk->budget < 0) return nullptr;
  const std::string folder = Parent(pattern);
  if (std::string(pattern).substr(folder.size()) != "\\*.*") return nullptr;
  if (!disk->folders.count(folder)) return nullptr;
  Listing* listing = new Listing{{}, 1};
  for (const char* dot : {".", ".."}) {
    FolderItem entry = {};
    std::snprintf(entry.name, sizeof entry.name, "%s", dot);
    entry.is_folder = 1;
    listing->items.push_back(entry);
  }
  std::vector<std::pair<std::string, bool>> children;
  for (const std::string& f : disk->files) {
    if (Parent(f) == folder) children.emplace_back(f.substr(folder.size() + 1), false);
  }
  for (const std::string& f : disk->folders) {
    if (f != folder && Parent(f) == folder)
      children.emplace_back(f.substr(folder.size() + 1), true);
  }
  std::sort(children.begin(), children.end());
  for (const auto& child : children) {
    FolderItem entry = {};
    std::snprintf(entry.name, sizeof entry.name, "%s", child.first.c_str());
    entry.is_folder = child.second;
    entry.is_link = disk->links.count(folder + "\\" + child.first) ? 1 : 0;
    listing->items.push_back(entry);
  }
  *item = listing->items[0];
  return listing;
}

int ListNext(void*, void* handle, FolderItem* item) {
  Listing* listing = static_cast<Listing*>(handle);
  if (listing->next >= listing->items.size()) return 0;
  *item = listing->items[listing->next++];
  return 1;
}

void ListClose(void*, void* handle) { delete static_cast<Listing*>(handle); }

int ModelDeleteFile(void* user, const char* path) {
  ModelDisk* disk = static_cast<ModelDisk*>(user);
  disk->calls.push_back(std::string("del ") + path);
  if (disk->stubborn.count(path) || !disk->files.count(path)) return 0;
  disk->files.erase(path);
  return 1;
}

int ModelRemoveFolder(void* user, const char* path) {
  ModelDisk* disk = static_cast<ModelDisk*>(user);
  disk->calls.push_back(std::string("rmdir ") + path);
  const std::string folder = path;
  if (disk->stubborn.count(folder) || !disk->folders.count(folder)) return 0;
  if (disk->links.count(folder)) {  // a link goes without its target's content
    disk->links.erase(folder);
    disk->folders.erase(folder);
    return 1;
  }
  for (const std::string& f : disk->files) {
    if (f.compare(0, folder.size() + 1, folder + "\\") == 0) return 0;
  }
  for (const std::string& f : disk->folders) {
    if (f.compare(0, folder.size() + 1, folder + "\\") == 0) return 0;
  }
  disk->folders.erase(folder);
  return 1;
}

int ModelIsLink(void* user, const char* path) {
  ModelDisk* disk = static_cast<ModelDisk*>(user);
  disk->calls.push_back(std::string("link? ") + path);
  return disk->links.count(path) ? 1 : 0;
}

FolderTreeOps DiskOps(ModelDisk* disk) {
  FolderTreeOps ops = {};
  ops.user = disk;
  ops.list_first = ListFirst;
  ops.list_next = ListNext;
  ops.list_close = ListClose;
  ops.delete_file = ModelDeleteFile;
  ops.remove_folder = ModelRemoveFolder;
  ops.is_link = ModelIsLink;
  return ops;
}

std::vector<std::string> Only(const std::vector<std::string>& calls, const char* kind) {
  std::vector<std::string> out;
  for (const std::string& c : calls) {
    if (c.compare(0, std::strlen(kind), kind) == 0) out.push_back(c);
  }
  return out;
}

TEST(RemoveFolderTreeWalk, RemovesEverythingInTheInstallersOrder) {
  ModelDisk disk;
  disk.folders = {"R", "R\\a", "R\\a\\b", "R\\c"};
  disk.files = {"R\\1", "R\\a\\2", "R\\a\\b\\3", "R\\c\\4", "R\\z"};
  const FolderTreeOps ops = DiskOps(&disk);
  EXPECT_EQ(RemoveFolderTreeWith("R", &ops), 1);
  EXPECT_TRUE(disk.files.empty());
  EXPECT_TRUE(disk.folders.empty());
  // The first item of each new listing, as the installer has always done.
  EXPECT_EQ(Only(disk.calls, "del"),
            (std::vector<std::string>{"del R\\1", "del R\\a\\2", "del R\\a\\b\\3", "del R\\c\\4",
                                      "del R\\z"}));
  EXPECT_EQ(Only(disk.calls, "rmdir"),
            (std::vector<std::string>{"rmdir R\\a\\b", "rmdir R\\a", "rmdir R\\c", "rmdir R"}));
}

TEST(RemoveFolderTreeWalk, StepsOverWhatStaysAndEnds) {
  ModelDisk disk;
  disk.folders = {"R", "R\\a", "R\\held", "R\\m", "R\\m."};
  disk.files = {"R\\1", "R\\a\\2", "R\\held\\0", "R\\held\\h", "R\\held\\z", "R\\k", "R\\z"};
  disk.stubborn = {"R\\k", "R\\held\\h"};
  // Names Windows would open as another item ("R\m." is "R\m") or a device.
  disk.files.insert({"R\\m.\\x", "R\\z.", "R\\NUL", "R\\com0.txt"});
  const FolderTreeOps ops = DiskOps(&disk);
  EXPECT_EQ(RemoveFolderTreeWith("R", &ops), 0);  // R itself stays
  EXPECT_GT(disk.budget, 0) << "the walk did not end";
  EXPECT_EQ(disk.files, (std::set<std::string>{"R\\held\\h", "R\\k", "R\\m.\\x", "R\\z.", "R\\NUL",
                                               "R\\com0.txt"}));
  EXPECT_EQ(disk.folders, (std::set<std::string>{"R", "R\\held", "R\\m."}));
  // Every other item is dealt with once, the stubborn ones too, and every
  // folder is listed once however much stays in it.
  const std::vector<std::string> deletes = Only(disk.calls, "del");
  EXPECT_EQ(deletes.size(), 7u);
  EXPECT_EQ(std::set<std::string>(deletes.begin(), deletes.end()).size(), 7u);
  EXPECT_EQ(Only(disk.calls, "list").size(), 4u);
}

TEST(RemoveFolderTreeWalk, LeavesDotFoldersAndLinkTargetsAlone) {
  ModelDisk disk;
  disk.folders = {"R", "R\\.git", "R\\link", "R\\x"};
  disk.files = {"R\\.git\\f", "R\\link\\outside", "R\\.profile", "R\\x\\y"};
  disk.links = {"R\\link"};
  const FolderTreeOps ops = DiskOps(&disk);
  RemoveFolderTreeWith("R", &ops);
  EXPECT_GT(disk.budget, 0);
  // "R\link\outside" stands for a file of the link's target: never listed.
  EXPECT_EQ(disk.files, (std::set<std::string>{"R\\.git\\f", "R\\link\\outside"}));
  EXPECT_TRUE(disk.folders.count("R\\.git"));
  EXPECT_FALSE(disk.folders.count("R\\link"));
  for (const std::string& call : disk.calls) EXPECT_EQ(call.find("R\\link\\"), std::string::npos);
}

// A Start-menu or product folder that someone made a link (a junction to
// another user's profile, say): the link goes, what it points to stays.
TEST(RemoveFolderTreeWalk, ARootThatIsALinkIsUnlinkedNotWalked) {
  ModelDisk disk;
  disk.folders = {"P", "P\\Brindlemoor", "P\\Brindlemoor\\docs"};
  disk.files = {"P\\Brindlemoor\\other user.doc", "P\\Brindlemoor\\docs\\x"};
  disk.links = {"P\\Brindlemoor"};
  const FolderTreeOps ops = DiskOps(&disk);
  EXPECT_EQ(RemoveFolderTreeWith("P\\Brindlemoor", &ops), 1);
  EXPECT_TRUE(Only(disk.calls, "list").empty());
  EXPECT_TRUE(Only(disk.calls, "del").empty());
  EXPECT_EQ(Only(disk.calls, "rmdir"), std::vector<std::string>{"rmdir P\\Brindlemoor"});
  EXPECT_EQ(disk.files.size(), 2u);
}

TEST(FindLinkBelow, LooksOnlyAtTheFoldersTheSubPathAdds) {
  const struct {
    std::set<std::string> links;
    const char* folder;
    const char* sub_path;
    int expected;
  } kCases[] = {
      {{}, "C:\\P\\Tarnwell Audio\\Brindlemoor", "Tarnwell Audio\\Brindlemoor", kNoLink},
      {{"C:\\P\\Tarnwell Audio\\Brindlemoor"},
       "C:\\P\\Tarnwell Audio\\Brindlemoor",
       "Tarnwell Audio\\Brindlemoor",
       kLinkAtEnd},
      {{"C:\\P\\Tarnwell Audio"},
       "C:\\P\\Tarnwell Audio\\Brindlemoor",
       "Tarnwell Audio\\Brindlemoor",
       kLinkOnTheWay},
      {{"C:\\P\\Tarnwell Audio", "C:\\P\\Tarnwell Audio\\Brindlemoor"},
       "C:\\P\\Tarnwell Audio\\Brindlemoor",
       "Tarnwell Audio\\Brindlemoor",
       kLinkOnTheWay},
      // The known folder itself (and what is above it) is the system's.
      {{"C:\\P", "C:"},
       "C:\\P\\Tarnwell Audio\\Brindlemoor",
       "Tarnwell Audio\\Brindlemoor",
       kNoLink},
      {{"C:\\PF\\QX"}, "C:\\PF\\QX\\Brindlemoor", "QX\\Brindlemoor", kLinkOnTheWay},
      {{"C:\\PF\\QX\\Brindlemoor"}, "C:\\PF\\QX\\Brindlemoor\\", "QX\\Brindlemoor", kLinkAtEnd},
      // A folder with fewer names than the sub-path is not used at all.
      {{}, "Brindlemoor", "QX\\Brindlemoor", kLinkOnTheWay},
  };
  for (const auto& c : kCases) {
    ModelDisk disk;
    disk.links = c.links;
    const FolderTreeOps ops = DiskOps(&disk);
    EXPECT_EQ(FindLinkBelow(c.folder, c.sub_path, &ops), c.expected) << c.folder;
  }
}

TEST(RemoveFolderTreeWalk, NothingToListRemovesTheFolderOnly) {
  ModelDisk disk;
  disk.folders = {"R"};
  const FolderTreeOps ops = DiskOps(&disk);
  EXPECT_EQ(RemoveFolderTreeWith("R", &ops), 1);
  EXPECT_EQ(RemoveFolderTreeWith("Missing", &ops), 0);
  // A folder whose pattern does not fit a path is not listed at all.
  const std::string long_folder(1022, 'f');
  disk.calls.clear();
  RemoveFolderTreeWith(long_folder.c_str(), &ops);
  EXPECT_TRUE(Only(disk.calls, "list").empty());
}

// A registry of key paths ("K\a\b"); sub-keys listed in name order.
struct ModelRegistry {
  std::set<std::string> keys;
  std::set<std::string> stubborn;  // keys that refuse deletion
  std::set<std::string> closed;    // keys that can't be opened
  std::string broken;              // listing this key fails
  std::vector<std::string> calls;
  int budget = 10000;
  int open_handles = 0;
};

struct KeyHandle {
  std::string path;
};

void* OpenKey(void* user, void* parent, const char* name) {
  ModelRegistry* registry = static_cast<ModelRegistry*>(user);
  const std::string path =
      parent == nullptr ? name : static_cast<KeyHandle*>(parent)->path + "\\" + name;
  if (!registry->keys.count(path) || registry->closed.count(path)) return nullptr;
  ++registry->open_handles;
  return new KeyHandle{path};
}

int ListKey(void* user, void* key, unsigned index, char* name, size_t name_size) {
  ModelRegistry* registry = static_cast<ModelRegistry*>(user);
  const std::string& path = static_cast<KeyHandle*>(key)->path;
  if (--registry->budget < 0) return kKeyError;
  if (path == registry->broken) return kKeyError;
  std::vector<std::string> children;
  for (const std::string& k : registry->keys) {
    if (k.size() > path.size() && k.compare(0, path.size() + 1, path + "\\") == 0 &&
        k.find('\\', path.size() + 1) == std::string::npos) {
      children.push_back(k.substr(path.size() + 1));
    }
  }
  if (index >= children.size()) return kKeyNoMore;
  std::snprintf(name, name_size, "%s", children[index].c_str());
  return kKeyFound;
}

int RemoveKey(void* user, void* parent, const char* name) {
  ModelRegistry* registry = static_cast<ModelRegistry*>(user);
  const std::string path =
      parent == nullptr ? name : static_cast<KeyHandle*>(parent)->path + "\\" + name;
  registry->calls.push_back("delete " + path);
  if (registry->stubborn.count(path)) return 0;
  for (const std::string& k : registry->keys) {
    if (k.compare(0, path.size() + 1, path + "\\") == 0) return 0;  // has sub-keys
  }
  return registry->keys.erase(path) ? 1 : 0;
}

void CloseKey(void* user, void* key) {
  --static_cast<ModelRegistry*>(user)->open_handles;
  delete static_cast<KeyHandle*>(key);
}

KeyTreeOps RegistryOps(ModelRegistry* registry) {
  KeyTreeOps ops = {};
  ops.user = registry;
  ops.open = OpenKey;
  ops.list = ListKey;
  ops.remove = RemoveKey;
  ops.close = CloseKey;
  return ops;
}

TEST(DeleteKeyTreeWalk, DeletesDeepestFirst) {
  ModelRegistry registry;
  registry.keys = {"K", "K\\a", "K\\a\\b", "K\\a\\c", "K\\d"};
  const KeyTreeOps ops = RegistryOps(&registry);
  EXPECT_EQ(DeleteKeyTreeWith(nullptr, "K", &ops), 1);
  EXPECT_TRUE(registry.keys.empty());
  EXPECT_EQ(registry.calls, (std::vector<std::string>{"delete K\\a\\b", "delete K\\a\\c",
                                                      "delete K\\a", "delete K\\d", "delete K"}));
  EXPECT_EQ(registry.open_handles, 0);
  EXPECT_EQ(DeleteKeyTreeWith(nullptr, "K", &ops), 0);  // gone: can't be opened
}

TEST(DeleteKeyTreeWalk, StepsOverKeysThatStayAndEnds) {
  ModelRegistry registry;
  registry.keys = {"K", "K\\a", "K\\b", "K\\b\\inner", "K\\c", "K\\d", "K\\e"};
  registry.stubborn = {"K\\b"};
  registry.closed = {"K\\d"};
  const KeyTreeOps ops = RegistryOps(&registry);
  EXPECT_EQ(DeleteKeyTreeWith(nullptr, "K", &ops), 0);
  EXPECT_GT(registry.budget, 0) << "the walk did not end";
  EXPECT_EQ(registry.keys, (std::set<std::string>{"K", "K\\b", "K\\d"}));
  EXPECT_EQ(registry.open_handles, 0);
  // The key itself is still tried once, and fails while sub-keys stay.
  EXPECT_EQ(std::count(registry.calls.begin(), registry.calls.end(), "delete K"), 1);
}

TEST(DeleteKeyTreeWalk, AListingErrorLeavesTheKey) {
  ModelRegistry registry;
  registry.keys = {"K", "K\\a", "K\\a\\b"};
  registry.broken = "K\\a";
  const KeyTreeOps ops = RegistryOps(&registry);
  EXPECT_EQ(DeleteKeyTreeWith(nullptr, "K", &ops), 0);
  EXPECT_EQ(registry.keys, (std::set<std::string>{"K", "K\\a", "K\\a\\b"}));
  EXPECT_EQ(std::count(registry.calls.begin(), registry.calls.end(), "delete K\\a"), 0);
  EXPECT_EQ(registry.open_handles, 0);
}

}  // namespace
