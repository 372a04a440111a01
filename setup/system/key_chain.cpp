// OpenKeyChain (see key_chain.h).
#include "setup/system/key_chain.h"

#include <cstring>

void* OpenKeyChain(void* root, const char* sub_key, int create, const KeyChainOps* ops) {
  void* current = root;
  for (const char* at = sub_key; *at != '\0';) {
    const char* end = std::strchr(at, '\\');
    const size_t length = end != nullptr ? static_cast<size_t>(end - at) : std::strlen(at);
    const int last = end == nullptr;
    char name[256];
    void* next = nullptr;
    if (length > 0 && length < sizeof name) {
      std::memcpy(name, at, length);
      name[length] = '\0';
      int missing = 0;
      next = ops->open(ops->user, current, name, last, &missing);
      // Made new, or met as the link that took the name meanwhile: the
      // check below sees either.
      if (next == nullptr && missing && create) next = ops->create(ops->user, current, name, last);
      if (next != nullptr && ops->is_link(ops->user, next)) {
        ops->close(ops->user, next);
        next = nullptr;
      }
    }
    if (current != root) ops->close(ops->user, current);
    if (next == nullptr) return nullptr;
    current = next;
    at = last ? at + length : end + 1;
  }
  return current != root ? current : nullptr;
}
