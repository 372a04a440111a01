// RecordList: see record_list.h.
#include "generator/audio/record_list.h"

#include <cstdlib>
#include <cstring>

int InitRecordList(RecordList* list, size_t record_size) {
  list->records = nullptr;
  list->record_size = record_size;
  list->capacity_bytes = 0;
  list->count = 0;
  if (record_size == 0) return 0;
  list->records = static_cast<uint8_t*>(std::malloc(kRecordListBlock));
  if (!list->records) return 0;
  list->capacity_bytes = kRecordListBlock;
  return 1;
}

size_t AppendRecord(RecordList* list, const void* record) {
  if (!list->records) return 0;
  const size_t used = list->count * list->record_size;
  if (list->capacity_bytes - used < list->record_size) {
    const size_t grown = list->capacity_bytes + kRecordListBlock +
                         list->record_size / kRecordListBlock * kRecordListBlock;
    uint8_t* bigger = static_cast<uint8_t*>(std::realloc(list->records, grown));
    if (!bigger) return 0;
    list->records = bigger;
    list->capacity_bytes = grown;
  }
  std::memcpy(list->records + used, record, list->record_size);
  list->count += 1;
  return list->count;
}

void* GetRecord(const RecordList* list, size_t index) {
  if (index == 0 || index > list->count) return nullptr;
  return list->records + (index - 1) * list->record_size;
}

void FreeRecordList(RecordList* list) {
  std::free(list->records);
  list->records = nullptr;
  list->capacity_bytes = 0;
  list->count = 0;
}
